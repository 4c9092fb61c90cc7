// The page's decoder (export/page/decode.js) against what page_data.cpp
// writes: pages made by veldora-export from known reports, their data
// blocks decoded in Node as the browser decodes them.
//
//   VELDORA_EXPORT=... SOURCE_DIR=... node --test decode_test.js
"use strict";
const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const test = require("node:test");
const { pathToFileURL } = require("node:url");

const source = process.env.SOURCE_DIR;
// The module that the page's script holds, as it is.
let decoder;
test.before(async () => {
  decoder = await import(pathToFileURL(path.join(source, "export/page/decode.js")));
});

// Runs veldora-export, for which a failed verdict (status 3) is no error.
function exporter(args) {
  try {
    execFileSync(process.env.VELDORA_EXPORT, args, { stdio: "ignore", env: { ...process.env, TZ: "UTC" } });
  } catch (error) {
    if (error.status !== 3 && error.status !== 0) throw error;
  }
}

// The named data blocks of the page of a report (with more arguments for
// html), as bytes.
async function pageBlocks(report, ids, more = [], setUp = () => {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "veldora-decode-"));
  const page = path.join(dir, "page.html");
  try {
    setUp(dir);
    exporter(["html", report, "-o", page, ...more.map((arg) => arg.replace("@DIR@", dir))]);
    const html = fs.readFileSync(page, "utf8");
    const blocks = [];
    for (const id of ids) {
      const m = new RegExp(`<script type="application/octet-stream" id="${id}" data-encoding="(\\w+)"[^>]*>([^<]*)</script>`).exec(html);
      assert.ok(m, id);
      blocks.push(await decoder.decodeBlock(m[2], m[1]));
    }
    return blocks;
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// The page of a report, decoded.
async function decodedPage(report) {
  return decoder.decodeData(...(await pageBlocks(report, ["data-nodes", "data-strings", "data-texts", "data-details"])));
}

const golden = (name) => path.join(source, "tests/export/golden", name, "report.xrd");
const names = (d) => Array.from({ length: d.n }, (_, i) => decoder.textsOf(d, i).name);

test("the example's tree: names in document order, parents, depths and subtree ends", async () => {
  const d = await decodedPage(golden("page_example"));
  assert.deepEqual(names(d).slice(0, 4), ["stack_test", "Stack", "push_pop", "overflow"]);
  assert.deepEqual([...d.parent.slice(0, 4)], [-1, 0, 1, 1]);
  assert.deepEqual([...d.depth.slice(0, 4)], [1, 2, 3, 3]);
  for (let i = 0; i < d.n; i++) {
    assert.ok(d.end[i] > i && d.end[i] <= d.n);
    if (d.parent[i] >= 0) assert.ok(d.end[i] <= d.end[d.parent[i]]);
  }
  assert.equal(d.flags[3] & 3, 2, "overflow failed");
  assert.equal(d.strings[d.types[3]], "Test Case");
  assert.equal(d.strings[d.files[3]] + ":" + d.lines[3], "src/stack_test.cpp:30");
});

test("a node's texts and details: searchable cells, rows with their cells, trace lines and notes", async () => {
  const d = await decodedPage(golden("page_example"));
  const texts = decoder.textsOf(d, 3);
  assert.ok(texts.cells.includes("size() == capacity()"), texts.cells.join(" | "));
  const rows = decoder.detailsOf(d, 3).filter((item) => item.cells).map((item) => item.cells.map((c) => c.text));
  assert.deepEqual(rows.map((cells) => cells.slice(0, 2).join(" ")),
                   ["Expression Status", "push() throws Overflow Passed", "size() == capacity() Failed"]);
  const push = decoder.detailsOf(d, 2);
  const notes = push.filter((item) => item.row === 4).map((item) => item.cells.at(-1).text);
  assert.deepEqual(notes, ["pushed 1, 2 and 3", "size 3"]);
  const trace = push.find((item) => item.row === 3 && item.cells[0].text === "Comment:after three pushes");
  assert.ok(trace && trace.cells[0].file === "src/stack_test.cpp", JSON.stringify(trace));
});

test("markup in names is decoded as the same text", async () => {
  const d = await decodedPage(path.join(source, "tests/export/browser/hostile.xrd"));
  assert.deepEqual(names(d), ["<img src=x onerror=window.pwned=1>", "</script><script>window.pwned=2</script>",
                              "' onfocus='window.pwned=5"]);
});

test("raw and deflated blocks decode alike", async () => {
  assert.deepEqual([...(await decoder.decodeBlock(btoa("abc"), "raw"))], [97, 98, 99]);
  assert.deepEqual([...(await decoder.decodeBlock("eJxLTEoGAAJNASc=", "deflate"))], [97, 98, 99]);
});

test("the badges block: per failed object's node its kind, its since run and its last statuses", async () => {
  const reports = path.join(source, "tests/export/history/reports");
  const record = (dir) => {
    for (const run of ["run1", "run2", "run3"])
      exporter(["record", path.join(reports, run + ".xrd"), "--part", "queue", "--history", path.join(dir, "h.sqlite"),
                "--label", run]);
  };
  const [nodeBytes, badgeBytes] = await pageBlocks(path.join(reports, "run4.xrd"), ["data-nodes", "data-badges"],
                                                   ["--part", "queue", "--history", "@DIR@/h.sqlite"], record);
  const n = new Uint32Array(nodeBytes.buffer, nodeBytes.byteOffset, nodeBytes.byteLength / 4)[1];
  const b = decoder.decodeBadges(badgeBytes, n);
  const badged = [...b.at].map((k, node) => [node, k]).filter(([, k]) => k >= 0);
  assert.deepEqual(badged.map(([node]) => node), [2, 4, 6]);
  assert.deepEqual(badged.map(([, k]) => b.kind[k]), [1, 2, 1]);
  assert.deepEqual(badged.map(([, k]) => b.since[k]),
                   ["run 1", null, "run 3"]);
  assert.deepEqual(badged.map(([, k]) => [...b.strip[k]]), [[2, 2, 2, 2], [0, 2, 0, 2], [3, 3, 2, 2]]);
});
