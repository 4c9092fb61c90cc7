// Writes a report of one driver with SUITES suites of CASES test cases each
// (every 1000th failed, with a failed check; the first case and check with
// names of 130 characters), for the large-tree and narrow-view checks:
//
//   node big_report.js OUT SUITES CASES
"use strict";
const fs = require("node:fs");

const [out, suites, cases] = [process.argv[2], Number(process.argv[3]), Number(process.argv[4])];
const chunks = [];
let tag = 10, passed = 0, failed = 0;
const title = (level, style, text, link) =>
  `<TITLE LEVEL="${level}" TAG="nodex${tag++}" STYLE="${style}">\n` +
  (link ? `<LINK TARGET="${link}">\n<TEXT>${text}</TEXT>\n</LINK>\n` : `<TEXT>${text}</TEXT>\n`) + "</TITLE>\n";
const row = (...cells) => "<ROW>\n" + cells.map(([style, text]) => `<CELL_TEXT STYLE="${style}">${text}</CELL_TEXT>\n`).join("") + "</ROW>\n";

const body = [];
for (let s = 0; s < suites; s++) {
  body.push(`<XROD:NODE name="suite_${s}" type="Test Suite" state="ko" icone="class.xpm">` +
            title(1, "Title2", `Test Suite suite_${s}`, `src/big_${s}.cpp line 1`));
  for (let c = 0; c < cases; c++) {
    const k = s * cases + c;
    const bad = k % 1000 === 999 || k === 1;
    const name = k === 0 || k === 1 ? `case_${k}_` + "with_a_long_name_".repeat(7) : `case_${k}`;
    const check = k === 1 ? "values_" + "and_more_values_".repeat(8) + " == expected" : `value_${k} == expected_${k}`;
    if (bad) failed++; else passed++;
    body.push(`<XROD:NODE name="${name}" type="Test Case" state="${bad ? "ko" : "ok"}" sum="1" icone="method.xpm">` +
              title(2, bad ? "Title3 Failed" : "Title3 Passed", `Test Case ${name}`, `src/big_${s}.cpp line ${c + 2}`) +
              (bad ? `<TABLE BORDER="1" WIDTH="40,15,15,15,15">\n` +
                     row(["Array Failed", check], ["Array Failed", "Failed"],
                         ["Array Failed", "1"], ["Array Failed", "1"], ["Array Failed", "0"]) + "</TABLE>\n" : "") +
              "</XROD:NODE>\n");
  }
  body.push("</XROD:NODE>\n");
}
chunks.push(`<?xml version="1.0" encoding="UTF-8"?>
<XROD>
<APIDOC>
<DOCUMENT TITLE="big.xrd" TAG="Testx1">
<XROD:NODE name="Global Report" type="Global Report" state="ko" icone="testscript.xpm"><SECTION TAG="filex2">
<TITLE LEVEL="0" TAG="nodex3" STYLE="Title1">
<TEXT>Component testing C++ report</TEXT>
</TITLE>
<TITLE LEVEL="1" TAG="nodex4" STYLE="Title2">
<TEXT>Report summary</TEXT>
</TITLE>
<TABLE BORDER="1">
` + row(["Array", "Passed"], ["Array", String(passed)]) + row(["Array", "Inconclusive"], ["Array", "0"]) +
  row(["Array Failed", "Failed"], ["Array Failed", String(failed)]) + row(["Array", "Total"], ["Array", String(passed + failed)]) +
  `</TABLE>
</SECTION>
<XROD:NODE name="big" type="Test Driver" state="ko" icone="testscript.xpm"><SECTION TAG="rootx7">
` + title(0, "Title1 Failed", "Test Driver big"));
chunks.push(body.join(""));
chunks.push("</SECTION>\n</XROD:NODE>\n</XROD:NODE>\n</DOCUMENT>\n</APIDOC>\n</XROD>\n");
fs.writeFileSync(out, chunks.join(""));
