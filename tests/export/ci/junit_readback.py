#!/usr/bin/python3
"""Reads a JUnit file back with junitparser and compares it with its report.

    junit_readback.py REPORT JUNIT

The report is read here on its own (ElementTree, no code shared with the
exporter). Checked: the JUnit counts (tests, failures, skipped, passed)
equal the report's totals; every suite's and the document's count
attributes equal what their test cases give; classname + name is unique per
suite; every failure's message starts its text; each failed object of the
report gives one failed test case, whose failure text has one line per
failed row, holding the row's first text; the failed test cases of the
suite "unlisted" and those of classes that may hold a violation no table
shows make up for the failed verdicts that the report counts but lists
nowhere. Prints what differs and exits 1, or exits 0.
"""
import sys
import xml.etree.ElementTree as ET

from junitparser import Failure, JUnitXml, Skipped

FAILED = "Array Failed"
HIDDEN = ": an observation state left by an illegal or a multiple exit"


def cell_text(cell):
    return "".join(cell.itertext()).strip()


def failed_rows(node):
    """The first non-empty text of each failed row of the node's own tables,
    leaving out its own status row (no expression and no counts)."""
    texts = []
    for table in node.findall("TABLE"):
        for row in table.findall("ROW"):
            cells = [cell_text(c) for c in row if c.tag in ("CELL", "CELL_TEXT")]
            styles = [c.get("STYLE") for c in row if c.tag in ("CELL", "CELL_TEXT")]
            if not cells or styles[0] != FAILED:
                continue
            if len(cells) == 5 and not cells[0] and not cells[2]:
                continue
            # One failure line per row: a line feed reads as backslash-n.
            texts.append(next(t for t in cells if t).replace("\n", "\\n"))
    return texts


def read_report(path):
    with open(path, "rb") as f:
        # The report uses the XROD: prefix without declaring it.
        data = f.read().replace(b"XROD:NODE", b"XROD_NODE")
    root = ET.fromstring(data)
    summary = next(root.iter("TABLE"))
    rows = [r for r in summary.findall("ROW") if r.get("STYLE") != "Array Title"]
    totals = [int(cell_text(r.findall("CELL_TEXT")[1])) for r in rows[:4]]
    # One entry per failed object: the texts its failure lines must hold.
    failed = []
    for node in root.iter("XROD_NODE"):
        if node.get("sum") == "1" and node.get("state") == "ko":
            failed.append(failed_rows(node))
    # A class that failed with no failed block: a violation that no table
    # shows. One that failed with a failed block but shows no violations
    # may hold one.
    possible = 0
    for section in root.iter("SECTION"):
        if section.get("TAG", "").startswith("classx"):
            for cls in section.findall("XROD_NODE"):
                blocks = cls.findall("XROD_NODE")
                if cls.get("state") != "ko":
                    continue
                if all(b.get("state") != "ko" for b in blocks):
                    failed.append(None)
                elif all(b.get("name") != "State Chart Violations" for b in blocks):
                    possible += 1
    return totals, failed, possible


def main():
    report, junit = sys.argv[1], sys.argv[2]
    (passed, inconclusive, failed, total), failed_objects, possible = read_report(report)
    xml = JUnitXml.fromfile(junit)
    problems = []
    counts = {"tests": 0, "failures": 0, "skipped": 0, "passed": 0}
    failure_texts = []
    unlisted_failures = 0
    for suite in xml:
        seen = set()
        mine = {"tests": 0, "failures": 0, "skipped": 0, "errors": 0}
        for case in suite:
            mine["tests"] += 1
            key = (case.classname, case.name)
            if key in seen:
                problems.append("suite %s: %s %s twice" % (suite.name, case.classname, case.name))
            seen.add(key)
            results = case.result
            if any(isinstance(r, Failure) for r in results):
                mine["failures"] += 1
                failure = results[0]
                lines = (failure.text or "").split("\n")
                if not lines[0].startswith(failure.message):
                    problems.append("%s: message %r does not start %r" % (case.name, failure.message, lines[0]))
                if suite.name == "unlisted":
                    unlisted_failures += 1
                else:
                    failure_texts.append(lines)
            elif any(isinstance(r, Skipped) for r in results):
                mine["skipped"] += 1
            else:
                counts["passed"] += 1
        for name in ("tests", "failures", "skipped", "errors"):
            if getattr(suite, name) != mine[name]:
                problems.append("suite %s: %s=%s, its test cases give %s" % (suite.name, name, getattr(suite, name), mine[name]))
        for name in ("tests", "failures", "skipped"):
            counts[name] += mine[name]
    for name in ("tests", "failures", "skipped"):
        if getattr(xml, name) != counts[name]:
            problems.append("testsuites %s=%s, the suites give %s" % (name, getattr(xml, name), counts[name]))
    want = {"tests": total, "failures": failed, "skipped": inconclusive, "passed": passed}
    for name, value in want.items():
        if counts[name] != value:
            problems.append("%s: JUnit %d, report %d" % (name, counts[name], value))
    # Failed objects and failed test cases, matched in any order; hidden
    # violations by their text.
    unmatched = [lines for lines in failure_texts if not lines[0].endswith(HIDDEN)]
    hidden = [lines for lines in failure_texts if lines[0].endswith(HIDDEN)]
    for rows in failed_objects:
        pool = hidden if rows is None else unmatched
        match = next((lines for lines in pool if rows is None or (
            len(lines) == max(len(rows), 1) and all(r in l for r, l in zip(rows, lines)))), None)
        if match is None:
            problems.append("no failed test case has the lines %r" % rows)
        else:
            pool.remove(match)
    if len(hidden) > possible:
        problems.append("%d violations of classes, %d may hold one" % (len(hidden), possible))
    if unlisted_failures + len(hidden) != failed - len(failed_objects):
        problems.append("%d unlisted failures and %d of classes for %d failed verdicts beyond the "
                        "%d failed objects" % (unlisted_failures, len(hidden), failed, len(failed_objects)))
    for lines in unmatched:
        problems.append("failure %r stands for no failed object of the report" % lines)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
