#!/usr/bin/env python3
"""The history under real processes: 16 records at once all land, into a new
file too, and leave no temporary file; a record killed with SIGKILL at any
moment leaves the history as it was or with the whole run; a record on a
full disk fails and leaves the file byte for byte; after each record the
file alone (as CI caches it) holds the run; readers beside records with
--keep never fail; a creation ended by SIGTERM leaves no temporary file.

Runs either veldora-export on reports, or the store alone through
history_store_tool (synthetic runs), with the same checks:

    history_processes_test.py export PREFIX VELDORA_GEN REPORTS_DIR
    history_processes_test.py store HISTORY_STORE_TOOL
"""
import hashlib
import os
import resource
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

work = tempfile.mkdtemp()
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


class Export:
    """veldora-export on the bundled reports and on generated large ones."""

    def __init__(self, prefix, generator, reports):
        self.prefix, self.generator, self.reports = prefix, generator, reports
        self.program = os.path.join(prefix, "bin", "veldora-export")
        self.large = None

    def variant(self, number):
        """A report of its own content: the same objects, one more comment."""
        path = os.path.join(work, "variant%d.xrd" % number)
        with open(os.path.join(self.reports, "run%d.xrd" % (number % 5 + 1)), "rb") as f:
            data = f.read()
        with open(path, "wb") as f:
            f.write(data + b"<!-- %d -->\n" % number)
        return path

    def generated(self, seed, objects):
        out = os.path.join(work, "gen%d" % seed)
        subprocess.run([self.generator, "--seed", str(seed), "--objects", str(objects),
                        "--trace-records", str(objects * 10), "--files", "4", "--out", out],
                       check=True, stdout=subprocess.DEVNULL)
        ots = sorted(os.path.join(out, n) for n in os.listdir(out) if n.endswith(".ots"))
        report = os.path.join(out, "report.xrd")
        subprocess.run([os.path.join(self.prefix, "bin", "veldora"), "-ots", *ots, "-tdf",
                        os.path.join(out, "run.tdf"), "-xrd", report],
                       env=dict(os.environ, ORBEKDIR=self.prefix), stderr=subprocess.DEVNULL)
        return report

    def record(self, history, number, keep=0, large=False):
        if large and not self.large:
            self.large = self.generated(2, 40000)
        report = self.large if large else self.variant(number)
        # One part, whatever the file's name.
        return [self.program, "record", report, "--part", "queue", "--history", history] + (
            ["--keep", str(keep)] if keep else [])

    def read(self, history):
        return [self.program, "diff", history, self.variant(0), "--part", "queue"]

    read_exits = (0, 3)


class StoreTool:
    """The store alone, on synthetic runs."""

    def __init__(self, tool):
        self.tool = tool

    def record(self, history, number, keep=0, large=False):
        return [self.tool, "record", history, "--objects", "300000" if large else "2000",
                "--seed", str(number)] + (["--keep", str(keep)] if keep else [])

    def read(self, history):
        return [self.tool, "read", history, "--times", "3"]

    read_exits = (0,)


def run(command, **options):
    return subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, **options)


def content(history):
    """The runs and the object and result counts, and SQLite's own check."""
    db = sqlite3.connect(history)
    try:
        runs = [r[0] for r in db.execute("SELECT id FROM runs ORDER BY id")]
        objects = db.execute("SELECT count(*) FROM objects").fetchone()[0]
        results = db.execute("SELECT count(*) FROM results").fetchone()[0]
        integrity = db.execute("PRAGMA integrity_check").fetchone()[0]
        return runs, objects, results, integrity
    finally:
        db.close()


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def leftovers():
    return [n for n in os.listdir(work) if ".sqlite." in n or n.endswith("-journal")]


def records_at_once_all_land(program):
    shared = os.path.join(work, "shared.sqlite")
    for i in range(3):
        # A new file each time, so that its creation races too.
        fresh = os.path.join(work, "fresh%d.sqlite" % i)
        jobs = [subprocess.Popen(program.record(history, 16 * i + j), stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE)
                for j in range(16) for history in (fresh, shared)]
        for job in jobs:
            _, err = job.communicate()
            check(job.returncode == 0, "round %d: record ended with %d: %s" % (i, job.returncode, err))
        check(content(fresh)[0] == list(range(1, 17)), "round %d: the new history holds %s"
              % (i, content(fresh)[0]))
        check(len(content(shared)[0]) == 16 * (i + 1), "round %d: the shared history holds %d runs"
              % (i, len(content(shared)[0])))
    check(not leftovers(), "files left beside: %s" % leftovers())


def killed_record_leaves_the_history_whole(program):
    history = os.path.join(work, "killed.sqlite")
    run(program.record(history, 1), check=True)
    before = content(history)
    start = time.monotonic()
    run(program.record(os.path.join(work, "timing.sqlite"), 2, large=True), check=True)
    duration = time.monotonic() - start
    outcomes = set()
    for i in range(12):
        job = subprocess.Popen(program.record(history, 2, large=True), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        time.sleep(duration * i / 10)
        job.send_signal(signal.SIGKILL)
        job.wait()
        after = content(history)
        check(after[3] == "ok", "kill %d: integrity check says %s" % (i, after[3]))
        if after[0] == before[0]:
            check(after == before, "kill %d: the history changed: %s, before %s" % (i, after, before))
            outcomes.add("as before")
        else:
            check(after[0] == before[0] + [after[0][-1]] and after[1] >= before[1],
                  "kill %d: runs %s after %s" % (i, after[0], before[0]))
            outcomes.add("whole run")
            break
    check("as before" in outcomes, "no kill came before the run was stored")
    # Still a history that takes runs.
    run(program.record(history, 3), check=True)
    check(len(content(history)[0]) == len(before[0]) + 2 - ("whole run" not in outcomes),
          "no run after the kills")


def full_disk_leaves_the_file_as_it_was(program):
    history = os.path.join(work, "full.sqlite")
    for number in (1, 2):
        run(program.record(history, number), check=True)
    before = digest(history)
    size = os.path.getsize(history)
    for room in (0, size, size + 4096):
        def full_disk(limit=room):
            # As on a full disk: writes beyond the limit fail with EFBIG.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        job = run(program.record(history, 3, large=True), preexec_fn=full_disk)
        check(job.returncode == 2, "room %d: record ended with %d: %s" % (room, job.returncode, job.stderr))
        check(digest(history) == before, "room %d: the history changed" % room)
        check(not leftovers(), "room %d: files left beside: %s" % (room, leftovers()))
    run(program.record(history, 3), check=True)
    check(len(content(history)[0]) == 3, "no run recorded after the full disk")


def the_file_alone_holds_each_run(program):
    history = os.path.join(work, "alone.sqlite")
    cache = os.path.join(work, "cache")
    os.mkdir(cache)
    for number in range(1, 5):
        run(program.record(history, number, keep=3 if number == 4 else 0), check=True)
        # What CI caches: the file, nothing beside it.
        copy = os.path.join(cache, "history.sqlite")
        shutil.copyfile(history, copy)
        job = run(program.read(copy))
        check(job.returncode in program.read_exits, "run %d: the file alone reads as %d: %s"
              % (number, job.returncode, job.stderr))
        check(content(copy)[0][-1] == number, "run %d: the file alone holds runs %s"
              % (number, content(copy)[0]))
        os.remove(copy)


def readers_beside_records_with_keep(program):
    history = os.path.join(work, "beside.sqlite")
    for number in range(1, 4):
        run(program.record(history, number), check=True)
    done = threading.Event()
    writes = []

    def write():
        number = 4
        while not done.is_set():
            writes.append(run(program.record(history, number, keep=2)).returncode)
            number += 1
    writer = threading.Thread(target=write)
    writer.start()
    reads = []
    try:
        for _ in range(120):
            job = run(program.read(history))
            reads.append((job.returncode, job.stderr))
    finally:
        done.set()
        writer.join()
    failed = [r for r in reads if r[0] not in program.read_exits]
    check(not failed, "%d of %d reads failed beside records with --keep, first: %s"
          % (len(failed), len(reads), failed[:1]))
    check(writes and all(w == 0 for w in writes), "records beside the reads ended with %s" % writes)


def ended_creation_leaves_no_temporary_file(program):
    start = time.monotonic()
    run(program.record(os.path.join(work, "created.sqlite"), 1), check=True)
    duration = time.monotonic() - start
    for i in range(12):
        history = os.path.join(work, "ended%d.sqlite" % i)
        job = subprocess.Popen(program.record(history, 1), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        time.sleep(duration * i / 12)
        job.send_signal(signal.SIGTERM)
        job.wait()
        check(not [n for n in os.listdir(work) if ".sqlite." in n],
              "ended %d: temporary files left: %s" % (i, os.listdir(work)))
        if os.path.exists(history):
            check(content(history)[3] == "ok", "ended %d: the history is not whole" % i)


try:
    if sys.argv[1] == "export":
        program = Export(*sys.argv[2:5])
    else:
        program = StoreTool(sys.argv[2])
    records_at_once_all_land(program)
    killed_record_leaves_the_history_whole(program)
    full_disk_leaves_the_file_as_it_was(program)
    the_file_alone_holds_each_run(program)
    readers_beside_records_with_keep(program)
    ended_creation_leaves_no_temporary_file(program)
finally:
    shutil.rmtree(work)
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
