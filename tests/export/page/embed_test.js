// The page's script parts joined by export/page/embed_text.cmake: modules
// run in the order of their imports, each in its own scope, in one strict
// script that leaves nothing global; a part that cannot be joined stops the
// build with a message that names it.
//
//   CMAKE_COMMAND=... SOURCE_DIR=... node --test embed_test.js
"use strict";
const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const test = require("node:test");
const vm = require("node:vm");

const script = path.join(process.env.SOURCE_DIR, "export/page/embed_text.cmake");

// Joins the parts (file name -> text, in the order given) as the build
// does: {status, stderr, js}, js the script's text when it was written.
function join(parts) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), "veldora-embed-"));
  try {
    for (const [name, text] of Object.entries(parts)) fs.writeFileSync(path.join(dir, name), text);
    const out = path.join(dir, "assets.h");
    const run = spawnSync(process.env.CMAKE_COMMAND, [
      "-DOUT=" + out, "-DFILES=", "-DSCRIPT=page_js",
      "-DPARTS=" + Object.keys(parts).map((name) => path.join(dir, name)).join("|"), "-P", script,
    ], { encoding: "utf8" });
    const header = fs.existsSync(out) ? fs.readFileSync(out, "utf8") : "";
    const js = /kEmbedded_page_js\[\] = R"EMBED\(([\s\S]*)\)EMBED";/.exec(header);
    return { status: run.status, stderr: run.stderr.replace(/\s+/g, " "), js: js && js[1] };
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

test("parts run after the parts they import from, each in its own scope, bound to the exported values", () => {
  const { status, stderr, js } = join({
    "start.js": `import {
  state,
  Counter,
} from "./state.js";
import { later, strict } from "./later.js";
const secret = "start";
log.push(secret, strict, later() === state, new Counter().count);
state.seen = true;
export async function done() { return state.seen; }`,
    "later.js": `import { state, exposed } from "./state.js";
const secret = "later";
log.push(secret, exposed);
export function later() { return state; }
export const strict = (function () { return this === undefined; })();
`,
    "state.js": `// export let in a comment is no export.
const secret = "state";
log.push(secret);
export const state = { seen: false };
export class Counter { count = 3; }
export const exposed = secret;
`,
  });
  assert.equal(status, 0, stderr);
  const context = vm.createContext({ log: [] });
  vm.runInContext(js, context);
  assert.deepEqual(context.log, ["state", "later", "state", "start", true, true, 3]);
  // Nothing of the parts is global: neither their names nor the script's own.
  assert.deepEqual(Object.keys(context), ["log"]);
  assert.equal(vm.runInContext("typeof state + typeof $state_js + typeof secret", context), "undefinedundefinedundefined");
});

test("a part that cannot be joined stops the build, named with its fault", () => {
  const part = (text) => text + "\nexport const x = 1;\n";
  for (const [parts, message] of [
    [{ "a.js": part('import { y } from "./b.js";'), "b.js": part("") },
     /a\.js: imports y from \.\/b\.js, which does not export it/],
    [{ "a.js": part('import { x } from "./missing.js";') },
     /a\.js: imports from \.\/missing\.js, which is not a part of the script/],
    [{ "a.js": part('import { x } from "../page/b.js";'), "b.js": part("") },
     /a\.js: imports from \.\.\/page\/b\.js: only a part beside it/],
    [{ "a.js": part(""), "b.js": part('import { x } from "./c.js";'), "c.js": part('import { x } from "./b.js";') },
     /a cycle of imports: b\.js -> c\.js -> b\.js/],
    [{ "a.js": part('import { x } from "./a.js";') }, /a cycle of imports: a\.js -> a\.js/],
    [{ "a.js": part('import x from "./b.js";'), "b.js": part("") }, /a\.js: an import not of the form/],
    [{ "a.js": part('import { x as y } from "./b.js";'), "b.js": part("") },
     /a\.js: imports "x as y" from \.\/b\.js: only plain names/],
    [{ "a.js": part("export let count = 0;") }, /a\.js: exports a let or var/],
    [{ "a.js": part("export default 1;") }, /a\.js: an export not before a function, async function, class or const/],
  ]) {
    const { status, stderr, js } = join(parts);
    assert.equal(status, 1, JSON.stringify(parts));
    assert.match(stderr, message);
    assert.equal(js, null);
  }
});
