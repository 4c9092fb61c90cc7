#!/usr/bin/python3
"""Runs the GitHub jobs of the README's sections "In CI" and "History and
merge gating" on the bundled example, so that the README shows jobs that
work; gitlab_jobs_test.py runs the GitLab jobs under gitlab-ci-local.

    ci_jobs_test.py README PREFIX EXAMPLES_DIR

The run steps run each in their own bash with -eo pipefail, as GitHub does,
skipping after a failure the steps without `if: always()`, with the
workflow expressions they use filled in as for a push to main; `uses:`
steps are not run, but what they are given must exist. The programs are
those of PREFIX; the test program is a stand-in that writes the example's
trace. The plain job must fail with status 3 at its ci step (one check of
the example fails) after writing the report, the page and the JUnit file,
which must pass the schema and the junitparser read-back. The history job
runs three times, its history file kept from run to run as its cache would
keep it: without a history (every failure is new: it fails with 3 and
records the run), with a new failure (it fails with 3 at the gate, and
still records the run), and with that failure again in a new build (it
passes). The team's workflow runs three times too: its matrix jobs each in a
folder of their own recording into one history (a file stands in for the
server), their reports the gate job's artifacts.
"""
import glob
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile

import yaml

HERE = os.path.dirname(os.path.abspath(__file__))


def section_blocks(readme, title):
    """The GitLab and the GitHub block of a README section, each as its
    text and its YAML."""
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    section = re.search(r"^## %s\n(.*?)(?=^## |\Z)" % re.escape(title), text, re.S | re.M)
    if not section:
        sys.exit("README has no section \"%s\"" % title)
    blocks = [(b, yaml.safe_load(b))
              for b in re.findall(r"```yaml\n(.*?)```", section.group(1), re.S)]
    gitlab = [b for b in blocks if "jobs" not in b[1]]
    github = [b for b in blocks if "jobs" in b[1]]
    if len(gitlab) != 1 or len(github) != 1:
        sys.exit("the section \"%s\" needs one GitLab and one GitHub job" % title)
    return gitlab[0], github[0]


def ci_blocks(readme, title="In CI"):
    gitlab, github = section_blocks(readme, title)
    return gitlab[1], github[1]


def workspace(examples, build=0, work=None):
    """The folder a job starts in (a new one, or work): the symbol files and
    the test program. From build 1 on, the procedure fill fails a check (a
    new failure); each build's trace has a note of its own, so that each
    report is another."""
    work = work or tempfile.mkdtemp()
    for name in ("stack_test.ots", "stack_classes.ots"):
        shutil.copy(os.path.join(examples, name), work)
    with open(os.path.join(examples, "stack_test.tdf")) as f:
        trace = f.read()
    if build > 0:
        trace = trace.replace("OT e 1\n", "OT e 0\n", 1)
        trace = trace.replace('NO "size 3"', 'NO "size 3 in build %d"' % build)
    with open(os.path.join(work, "trace.tdf"), "w") as f:
        f.write(trace)
    program = os.path.join(work, "stack_test")
    with open(program, "w") as f:
        f.write("#!/bin/sh\ncp trace.tdf stack_test.tdf\n")
    os.chmod(program, 0o755)
    return work


# The workflow expressions the jobs use, as GitHub fills them in for a push
# to the default branch main.
EXPRESSIONS = {"github.event.repository.default_branch": "main"}


def run(script, work, env, expressions=None):
    known = dict(EXPRESSIONS, **(expressions or {}))
    script = re.sub(r"\$\{\{\s*([^}]*?)\s*\}\}", lambda m: known[m.group(1)], script)
    result = subprocess.run(["bash", "--noprofile", "--norc", "-eo", "pipefail", "-c", script],
                            cwd=work, env=env, capture_output=True, text=True)
    sys.stdout.write(result.stdout)
    sys.stderr.write(result.stderr)
    return result


def check_outputs(work, kept, junit, problems, job):
    for path in kept + [junit]:
        if not os.path.isfile(os.path.join(work, path)):
            problems.append("%s: %s was not written" % (job, path))
    if problems:
        return
    junit_path = os.path.join(work, junit)
    if subprocess.run(["xmllint", "--noout", "--schema", os.path.join(HERE, "junit.xsd"),
                       junit_path]).returncode != 0:
        problems.append("%s: %s does not match the schema" % (job, junit))
    if subprocess.run(["/usr/bin/python3", os.path.join(HERE, "junit_readback.py"),
                       os.path.join(work, "report.xrd"), junit_path]).returncode != 0:
        problems.append("%s: %s does not read back" % (job, junit))


def job_env(declared, prefix, **more):
    env = dict(os.environ)
    env.update({k: str(v) for k, v in (declared or {}).items()})
    env["ORBEKDIR"] = prefix  # the installed tree stands in for /opt/veldora
    env["LC_ALL"] = "C.UTF-8"
    env.pop("NO_COLOR", None)
    env.update(more)
    return env


def github_job(workflow, prefix, examples, problems):
    (name, definition), = workflow["jobs"].items()
    work = workspace(examples)
    summary = os.path.join(work, "step_summary.md")
    env = job_env(definition.get("env"), prefix, GITHUB_STEP_SUMMARY=summary, GITHUB_ACTIONS="true")
    failed = None
    kept, junit = [], None
    for step in definition["steps"]:
        always = step.get("if") == "always()"
        if "uses" in step:
            action = step["uses"].split("@")[0]
            if action == "actions/upload-artifact":
                kept = step["with"]["path"].split()
            elif action != "actions/checkout":
                junit = step["with"]["files"]
            if action != "actions/checkout" and not always:
                problems.append("GitHub step %s does not run after a failure" % step["uses"])
            continue
        if failed is not None and not always:
            continue
        result = run(step["run"], work, env)
        if result.returncode != 0 and failed is None:
            failed = (step["run"], result)
    if failed is None or failed[1].returncode != 3 or " ci " not in failed[0]:
        problems.append("GitHub job %s did not fail with 3 at its ci step: %r" %
                        (name, failed and (failed[0], failed[1].returncode)))
    elif "::error file=src/stack_test.cpp,line=35," not in failed[1].stdout:
        problems.append("GitHub job %s: no annotation for the failed check" % name)
    if not os.path.isfile(summary) or "| 6 | 2 | 1 | 9 |" not in open(summary).read():
        problems.append("GitHub job %s wrote no step summary with the totals" % name)
    if not kept or not junit:
        problems.append("GitHub job %s keeps no artifacts or publishes no JUnit file" % name)
    else:
        check_outputs(work, kept, junit, problems, "GitHub")
    shutil.rmtree(work)


def history_runs(history):
    """The runs of a history file, by a reader of its own."""
    db = sqlite3.connect("file:%s?mode=ro" % history, uri=True)
    try:
        return db.execute("SELECT count(*) FROM runs").fetchone()[0]
    finally:
        db.close()


def history_builds(name, run_build, kept_file, problems):
    """Three builds of one job with its history kept between them: each
    build's status and the runs the history holds after it must match."""
    history = None
    # Before the history's first run every failure is new: the gate fails.
    for build, (status, runs) in enumerate([(3, 1), (3, 2), (0, 3)]):
        work, result = run_build(build, history)
        if result != status:
            problems.append("%s, build %d: ended with %d, not %d" % (name, build, result, status))
        kept = os.path.join(work, kept_file)
        if not os.path.isfile(kept) or history_runs(kept) != runs:
            problems.append("%s, build %d: the history does not hold %d runs" % (name, build, runs))
            shutil.rmtree(work)
            return
        saved = tempfile.mkdtemp()
        history = shutil.copy(kept, saved)
        if build == 1 and "id=\"history\"" not in open(os.path.join(work, "report.html")).read():
            problems.append("%s: the page has no history section" % name)
        shutil.rmtree(work)
    shutil.rmtree(os.path.dirname(history))


def github_history_job(workflow, prefix, examples, problems):
    (name, definition), = workflow["jobs"].items()
    actions = {s["uses"].split("@")[0]: s for s in definition["steps"] if "uses" in s}
    restore, save = actions.get("actions/cache/restore"), actions.get("actions/cache/save")
    if not restore or not save or "always()" not in save.get("if", "") or \
            restore["with"]["path"] != save["with"]["path"]:
        problems.append("GitHub job %s does not restore and always keep its history" % name)
        return
    kept = save["with"]["path"]

    def build(number, history):
        work = workspace(examples, number)
        if history:
            shutil.copy(history, os.path.join(work, kept))
        env = job_env(definition.get("env"), prefix, GITHUB_ACTIONS="true", GITHUB_EVENT_NAME="push",
                      GITHUB_REF="refs/heads/main", GITHUB_REF_NAME="main",
                      GITHUB_RUN_ID=str(700 + number), GITHUB_SHA="%040x" % (number + 1),
                      GITHUB_STEP_SUMMARY=os.path.join(work, "step_summary.md"))
        failed = 0
        for step in definition["steps"]:
            if "uses" in step or (failed and step.get("if") != "always()"):
                continue
            result = run(step["run"], work, env)
            if result.returncode != 0 and not failed:
                failed = result.returncode
                if " ci " not in step["run"]:
                    problems.append("GitHub job %s failed outside its gate: %s" % (name, step["run"]))
        return work, failed

    history_builds("GitHub job " + name, build, kept, problems)


def team_build(workflow, prefix, examples, number, history, problems):
    """One run of the team's workflow: each matrix job in a folder of its
    own, recording into the history, its report an artifact; then the gate
    over the artifacts. The gate's status."""
    shards, gate = workflow["jobs"]["component-test"], workflow["jobs"]["component-gate"]
    artifacts = tempfile.mkdtemp()
    secrets = {"secrets.VELDORA_HISTORY": history}
    env = job_env(dict((k, re.sub(r"\$\{\{[^}]*\}\}", history, v)) for k, v in workflow["env"].items()),
                  prefix, GITHUB_ACTIONS="true", GITHUB_EVENT_NAME="push", GITHUB_REF_NAME="main",
                  GITHUB_RUN_ID=str(900 + number), GITHUB_SHA="%040x" % (number + 1))
    for target in shards["strategy"]["matrix"]["target"]:
        work = workspace(examples, number)
        for step in shards["steps"]:
            if "run" in step:
                result = run(step["run"], work, env, dict(secrets, **{"matrix.target": target}))
                if result.returncode != 0:
                    problems.append("GitHub team run %d, shard %s failed: %s" % (number, target, result.stderr))
        for name in glob.glob(os.path.join(work, "report-*.xrd")):
            shutil.copy(name, artifacts)
        shutil.rmtree(work)
    status = 0
    for step in gate["steps"]:
        if "run" in step:
            status = run(step["run"], artifacts, env, secrets).returncode or status
    page = os.path.join(artifacts, "report.html")
    if not os.path.isfile(page) or 'id="history"' not in open(page, encoding="utf-8").read():
        problems.append("GitHub team run %d: no page with the history section" % number)
    shutil.rmtree(artifacts)
    return status


def github_team_workflow(workflow, prefix, examples, problems):
    """Three runs of the team's workflow on one history (a file stands in
    for the server: the history behaves alike): the first run (every failure
    new), a new failure, that failure again."""
    history = os.path.join(tempfile.mkdtemp(), "history.sqlite")
    for number, want in enumerate((3, 3, 0)):
        status = team_build(workflow, prefix, examples, number, history, problems)
        if status != want:
            problems.append("GitHub team run %d: the gate ended with %d, not %d" % (number, status, want))
    shutil.rmtree(os.path.dirname(history))


def main():
    readme, prefix, examples = sys.argv[1:4]
    problems = []
    github_job(ci_blocks(readme)[1], prefix, examples, problems)
    github_history_job(ci_blocks(readme, "History and merge gating")[1], prefix, examples, problems)
    github_team_workflow(ci_blocks(readme, "A team's history on a server")[1], prefix, examples, problems)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
