#!/usr/bin/env python3
"""The history under real processes: two record processes at once, 20 times,
every run lands; a record killed with SIGKILL at any moment leaves the history
as it was or with the whole run, never a part of it.

    history_processes_test.py PREFIX VELDORA_GEN REPORTS_DIR
"""
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

prefix, generator, reports = sys.argv[1:4]
export = os.path.join(prefix, "bin", "veldora-export")
work = tempfile.mkdtemp()
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def record(report, history):
    return subprocess.Popen([export, "record", report, "--history", history],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


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


def variant(number):
    """A report of its own content: the same objects, one more comment."""
    path = os.path.join(work, "variant%d.xrd" % number)
    with open(os.path.join(reports, "run%d.xrd" % (number % 5 + 1)), "rb") as f:
        data = f.read()
    with open(path, "wb") as f:
        f.write(data + b"<!-- %d -->\n" % number)
    return path


def two_records_at_once_all_land():
    shared = os.path.join(work, "shared.sqlite")
    for i in range(20):
        # A new file each time, so that its creation races too.
        fresh = os.path.join(work, "fresh%d.sqlite" % i)
        jobs = [record(variant(2 * i), fresh), record(variant(2 * i + 1), fresh),
                record(variant(2 * i), shared), record(variant(2 * i + 1), shared)]
        for job in jobs:
            _, err = job.communicate()
            check(job.returncode == 0, "round %d: record ended with %d: %s" % (i, job.returncode, err))
        check(content(fresh)[0] == [1, 2], "round %d: the new history holds %s" % (i, content(fresh)[0]))
        check(len(content(shared)[0]) == 2 * (i + 1), "round %d: the shared history holds %d runs"
              % (i, len(content(shared)[0])))
    leftovers = [n for n in os.listdir(work) if ".sqlite." in n]
    check(not leftovers, "temporary files left: %s" % leftovers)


def generated_report(seed, objects):
    out = os.path.join(work, "gen%d" % seed)
    subprocess.run([generator, "--seed", str(seed), "--objects", str(objects), "--trace-records",
                    str(objects * 10), "--files", "4", "--out", out], check=True,
                   stdout=subprocess.DEVNULL)
    ots = sorted(os.path.join(out, n) for n in os.listdir(out) if n.endswith(".ots"))
    report = os.path.join(out, "report.xrd")
    subprocess.run([os.path.join(prefix, "bin", "veldora"), "-ots", *ots, "-tdf",
                    os.path.join(out, "run.tdf"), "-xrd", report],
                   env=dict(os.environ, ORBEKDIR=prefix), stderr=subprocess.DEVNULL)
    return report


def killed_record_leaves_the_history_whole():
    history = os.path.join(work, "killed.sqlite")
    first = generated_report(1, 40000)
    second = generated_report(2, 40000)
    subprocess.run([export, "record", first, "--history", history], check=True,
                   stdout=subprocess.DEVNULL)
    before = content(history)
    start = time.monotonic()
    subprocess.run([export, "record", second, "--history", os.path.join(work, "timing.sqlite")],
                   check=True, stdout=subprocess.DEVNULL)
    duration = time.monotonic() - start
    outcomes = set()
    for i in range(12):
        job = record(second, history)
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
    subprocess.run([export, "record", second, "--history", history], check=True,
                   stdout=subprocess.DEVNULL)
    check(len(content(history)[0]) == 2, "no second run after the kills")


try:
    two_records_at_once_all_land()
    killed_record_leaves_the_history_whole()
finally:
    shutil.rmtree(work)
for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
