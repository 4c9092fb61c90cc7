#!/usr/bin/python3
"""Runs the GitLab jobs of the README's sections "In CI" and "History and
merge gating" under gitlab-ci-local, which reads a .gitlab-ci.yml as GitLab
does (rules, variables, cache, artifacts) and runs it on this machine.

    gitlab_jobs_test.py README PREFIX EXAMPLES_DIR GITLAB_CI_LOCAL SERVER_URL_FILE

Each job's text, as the README has it, is the .gitlab-ci.yml of a scratch
git repository on its default branch main (origin/HEAD names it; the remote
is never contacted), which holds the example's symbol files and a stand-in
test program (ci_jobs_test.workspace); each pipeline is a new commit of it.
ORBEKDIR names PREFIX as a pipeline variable, which outranks the job's own.
The shell executor runs with --shell-isolation: each pipeline starts from a
fresh copy of the committed files in .gitlab-ci-local/builds/JOB, and
gitlab-ci-local keeps the job's `cache:` in .gitlab-ci-local/cache/KEY,
restored before the script and saved after it as the job's policy and
`when` say, as a runner's local cache does. So the history reaches the next
pipeline only through the README's cache settings.

The jobs are the README's; what they must end with is below.
"""
import dataclasses
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import ci_jobs_test as jobs


@dataclasses.dataclass
class Pipeline:
    status: int             # the job script's exit status
    build: int = 0          # the stand-in test program's build (see workspace)
    step: str = None        # a part of the script line that ended the job
    log: tuple = ()         # lines in the job's log
    artifacts: tuple = ()   # files among the job's artifacts
    junit: bool = False     # its reports:junit file written, valid, read back
    runs: int = None        # runs in the cached history afterwards
    history_page: str = None  # a kept page with the history section


KEPT = ("report.xrd", "report.html", "report.comment.md")

# The plain job fails at its ci step, after writing report, page, comment
# and JUnit file.
PLAIN = Pipeline(status=3, step=" ci ", artifacts=KEPT, junit=True,
                 log=("src/stack_test.cpp:35: error: new failure: check failed: size() == capacity()",
                      "no run history: every failure is new"))

# The history job, three default-branch pipelines in a row.
HISTORY = [
    # Without a history: every failure is new, the page written, the run
    # recorded.
    Pipeline(status=3, build=0, runs=1, artifacts=KEPT, junit=True, history_page="report.html",
             log=("no run recorded yet: every failure is new",)),
    # A new failure: the gate fails, the run is still recorded.
    Pipeline(status=3, build=1, runs=2, artifacts=KEPT, history_page="report.html",
             log=("src/stack_test.cpp:55: error: new failure: check failed: size() == n",
                  "New 1, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 1, Added 0, Removed 0")),
    # That failure again: passes.
    Pipeline(status=0, build=2, runs=3, artifacts=KEPT,
             log=("New 0, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 2, Added 0, Removed 0",)),
]

# The team's pipeline on the tests' server: two shards recording their
# parts, then the gate over their reports.
TEAM = [
    # The first run: every failure is new.
    {"component-test: [gcc]": 0, "component-test: [clang]": 0, "component-gate": 3},
    # A new failure in both parts.
    {"component-gate": 3},
    # That failure again.
    {"component-gate": 0},
]
TEAM_LOG = {1: ("src/stack_test.cpp:50: error: new failure: check failed: size() == n "
                "[report-gcc > stack_test > fill]",
                "New 2, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 2, Added 0, Removed 0"),
            2: ("New 0, Lost 0, Flaky 0, Quarantined 0, Fixed 0, Still failing 4, Added 0, Removed 0",)}

STATE = ".gitlab-ci-local"


class Project:
    """A scratch repository whose .gitlab-ci.yml is one README job."""

    def __init__(self, job_text, examples, program, prefix):
        self.examples, self.program, self.prefix = examples, program, prefix
        self.dir = tempfile.mkdtemp()
        self.home = os.path.join(self.dir, "home")
        self.repo = os.path.join(self.dir, "repo")
        os.makedirs(self.home)
        os.makedirs(self.repo)
        # Nothing of the caller's git, gitlab-ci-local or CI settings.
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("GCL_", "CI_", "GITLAB_", "GITHUB_", "GIT_"))}
        self.env.update(HOME=self.home, LC_ALL="C.UTF-8", GIT_CONFIG_NOSYSTEM="1")
        self.env.pop("NO_COLOR", None)
        self.git("init", "-q", "-b", "main")
        self.git("config", "user.name", "Veldora CI")
        self.git("config", "user.email", "ci@example.invalid")
        self.git("remote", "add", "origin", "https://gitlab.example.invalid/veldora/stack.git")
        with open(os.path.join(self.repo, ".git", "info", "exclude"), "a") as f:
            f.write("/%s/\n" % STATE)
        with open(os.path.join(self.repo, ".gitlab-ci.yml"), "w") as f:
            f.write(job_text)

    def git(self, *args):
        subprocess.run(["git", *args], cwd=self.repo, env=self.env, check=True)

    def pipeline(self, build, variables=()):
        """Commits the build to main and runs its pipeline: the output and
        the seconds it took."""
        jobs.workspace(self.examples, build, self.repo)
        self.git("add", "-A")
        self.git("commit", "-q", "-m", "build %d" % build)
        self.git("update-ref", "refs/remotes/origin/main", "HEAD")
        self.git("symbolic-ref", "refs/remotes/origin/HEAD", "refs/remotes/origin/main")
        start = time.monotonic()
        result = subprocess.run(
            [self.program, "--shell-isolation", "--no-artifacts-to-source", "--no-color",
             "--variable", "ORBEKDIR=" + self.prefix] +
            [arg for variable in variables for arg in ("--variable", variable)],
            cwd=self.repo, env=self.env, capture_output=True, text=True)
        seconds = time.monotonic() - start
        sys.stdout.write(result.stdout)
        sys.stdout.write(result.stderr)
        return result.stdout + result.stderr, seconds

    def path(self, *parts):
        return os.path.join(self.repo, STATE, *parts)


def job_status(name, output):
    """The job's exit status from gitlab-ci-local's line "JOB finished in
    … [FAIL N]"; None when the job did not run."""
    found = re.search(r"^%s +finished in [^\n]*?(?: FAIL (\d+))? *$" % re.escape(name), output,
                      re.M)
    return None if not found else int(found.group(1) or 0)


def check(project, name, definition, expect, output, problems, what):
    status = job_status(name, output)
    if status is None:
        problems.append("%s: the job did not run" % what)
        return
    if status != expect.status:
        problems.append("%s: ended with %d, not %d" % (what, status, expect.status))
    with open(project.path("output", name + ".log"), encoding="utf-8") as f:
        log = f.read()
    steps = [line for line in log.splitlines() if line.startswith("$ ")]
    if expect.step and (not steps or expect.step not in steps[-1]):
        problems.append("%s: ended at %r, not at the step with %r" %
                        (what, steps[-1] if steps else None, expect.step))
    problems.extend("%s: the log lacks %r" % (what, line) for line in expect.log if line not in log)
    kept = project.path("artifacts", name)
    problems.extend("%s: %s is not among the artifacts" % (what, path)
                    for path in expect.artifacts if not os.path.isfile(os.path.join(kept, path)))
    if expect.junit:
        jobs.check_outputs(project.path("builds", name), [],
                           definition["artifacts"]["reports"]["junit"], problems, what)
    if expect.runs is not None:
        cached = [found for path in definition["cache"]["paths"]
                  for found in glob.glob(project.path("cache", "*", path))]
        if len(cached) != 1 or jobs.history_runs(cached[0]) != expect.runs:
            problems.append("%s: the cached history does not hold %d runs (%s)" %
                            (what, expect.runs, cached))
    if expect.history_page:
        with open(os.path.join(kept, expect.history_page), encoding="utf-8") as f:
            if 'id="history"' not in f.read():
                problems.append("%s: the page has no history section" % what)


def run_job(block, pipelines, examples, program, prefix, problems):
    text, parsed = block
    (name, definition), = parsed.items()
    project = Project(text, examples, program, prefix)
    try:
        for number, expect in enumerate(pipelines, 1):
            output, seconds = project.pipeline(expect.build)
            print("%s, pipeline %d: %.2f s" % (name, number, seconds))
            check(project, name, definition, expect, output, problems,
                  "GitLab job %s, pipeline %d" % (name, number))
    finally:
        shutil.rmtree(project.dir)


def run_team(block, examples, program, prefix, server, problems):
    text, _ = block
    project = Project(text, examples, program, prefix)
    try:
        for number, statuses in enumerate(TEAM):
            output, seconds = project.pipeline(number, ["VELDORA_HISTORY=" + server])
            print("team pipeline %d: %.2f s" % (number + 1, seconds))
            what = "GitLab team pipeline %d" % (number + 1)
            for name, status in statuses.items():
                found = job_status(name, output)
                if found != status:
                    problems.append("%s: %s ended with %s, not %d" % (what, name, found, status))
            with open(project.path("output", "component-gate.log"), encoding="utf-8") as f:
                log = f.read()
            problems.extend("%s: the gate's log lacks %r" % (what, line)
                            for line in TEAM_LOG.get(number, ()) if line not in log)
            page = project.path("artifacts", "component-gate", "report.html")
            if not os.path.isfile(page) or 'id="history"' not in open(page, encoding="utf-8").read():
                problems.append("%s: no page with the history section" % what)
    finally:
        shutil.rmtree(project.dir)


def main():
    readme, prefix, examples, program, server_url = sys.argv[1:6]
    problems = []
    plain, _ = jobs.section_blocks(readme, "In CI")
    run_job(plain, [PLAIN], examples, program, prefix, problems)
    history, _ = jobs.section_blocks(readme, "History and merge gating")
    run_job(history, HISTORY, examples, program, prefix, problems)
    team, _ = jobs.section_blocks(readme, "A team's history on a server")
    with open(server_url) as f:
        run_team(team, examples, program, prefix, f.read().strip(), problems)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
