#!/usr/bin/env python3
"""Reads a run's reports as a CI job would: the JSON with Python's json, the JUnit XML with
Python's XML parser, and checks them against each other and against the run.

  report_check.py screens REPORT.json JUNIT.xml
  report_check.py table REPORT.json JUNIT.xml TABLE.txt   (the tab-separated lines on stdout)

Prints what is wrong and exits 1, or exits 0."""
import json
import os
import sys
import xml.etree.ElementTree as ET

FACTS = ("palisade_version", "machine", "rom", "date", "command_line", "exit_status")


def fail(message):
    print("report_check: " + message)
    sys.exit(1)


def facts(report):
    for key in FACTS:
        if key not in report:
            fail("the report has no " + key)
    if len(report["rom"].get("sha256") or "") != 64:
        fail("the ROM's SHA-256 is missing: %r" % report["rom"])


def testcases(path):
    root = ET.parse(path).getroot()
    suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
    if not suites:
        fail("no testsuite in " + path)
    cases = [case for suite in suites for case in suite.findall("testcase")]
    for suite in suites:
        if int(suite.get("tests")) != len(suite.findall("testcase")):
            fail("testsuite %s counts %s tests, holds %d" % (suite.get("name"), suite.get("tests"),
                                                            len(suite.findall("testcase"))))
    return cases


def screens(report_path, junit_path):
    report = json.load(open(report_path, encoding="utf-8"))
    facts(report)
    shown = report["screens"]
    if not shown:
        fail("no screens")
    for screen in shown:
        if not screen["caption"]:
            fail("screen %d has no caption" % screen["number"])
        if screen["verdict"] not in ("pass", "differs", "not judged"):
            fail("screen %d: verdict %r" % (screen["number"], screen["verdict"]))
        if screen["verdict"] == "differs" and not screen["words"]:
            fail("screen %d differs without words" % screen["number"])
        for key in ("png", "diff_png", "meant_png"):
            if screen[key] is not None and not os.path.isfile(screen[key]):
                fail("screen %d: %s %s is not there" % (screen["number"], key, screen[key]))
        if screen["png"] is None:
            fail("screen %d has no PNG" % screen["number"])
    cases = testcases(junit_path)
    ended = 1 if report["exit_status"] not in (0, 4) else 0
    if len(cases) != len(shown) + ended:
        fail("%d test cases for %d screens" % (len(cases), len(shown)))
    failed = sum(1 for case in cases if case.find("failure") is not None)
    differ = sum(1 for screen in shown if screen["verdict"] == "differs")
    if failed != differ + ended:
        fail("%d failed test cases for %d differing screens" % (failed, differ))
    counts = report["counts"]
    if counts["screens"] != len(shown) or counts["differ"] != differ:
        fail("the counts %r do not match the screens" % counts)


def table(report_path, junit_path, table_path):
    report = json.load(open(report_path, encoding="utf-8"))
    facts(report)
    lines = [line.split("\t") for line in open(table_path, encoding="utf-8").read().splitlines()]
    rows = report["rows"]
    if [line[0] for line in lines] != [row["check"] for row in rows]:
        fail("the report's rows are not the table's")

    def text(cell):
        return {"pass": "pass", "n/a": "n/a"}.get(cell["verdict"], "FAIL: " + cell["words"])

    for line, row in zip(lines, rows):
        if [line[1], line[2]] != [text(row["bios"]), text(row["kestrel"])]:
            fail("row %s: the table says %r, the report %r" % (line[0], line[1:], [row["bios"], row["kestrel"]]))
    cases = testcases(junit_path)
    if [case.get("name") for case in cases] != [row["check"] for row in rows]:
        fail("the JUnit test cases are not the table's rows")
    failed = sum(1 for case in cases if case.find("failure") is not None)
    expected = sum(1 for row in rows if "fail" in (row["bios"]["verdict"], row["kestrel"]["verdict"]))
    if failed != expected:
        fail("%d failed test cases for %d failing rows" % (failed, expected))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "screens":
        screens(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == "table":
        table(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        fail("usage: report_check.py screens REPORT JUNIT | table REPORT JUNIT TABLE")
