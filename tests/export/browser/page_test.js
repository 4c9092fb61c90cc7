// The page of the bundled example in Debian's Chromium, headless, driven by
// playwright-core (which downloads no browser):
//
//   node page_test.js EXAMPLE_PAGE HOSTILE_PAGE SCREENSHOT BIG_PAGE SMALL_PAGE GERMAN_PAGE
//        HISTORY_PAGE HISTORY_SCREENSHOT
//
// Checks the summary, the failures, "failures only", expanding, deep links,
// search, the keyboard, dark and print styles, status told by shape as well
// as colour, an accessibility audit (axe-core), that hostile test names stay
// text, that every node of a tree of 300,000 nodes can be reached, that long
// names stay inside the tree box at 390 pixels, the labels of a German page,
// a page with a run history (its trend, new failures and badges), and that
// no script error reaches the console.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { chromium } = require("playwright-core");

const [examplePage, hostilePage, screenshot, bigPage, smallPage, germanPage, historyPage, historyShot] =
  process.argv.slice(2);

async function open(context, file, hash = "") {
  const page = await context.newPage();
  const problems = [];
  page.on("console", (message) => {
    if (message.type() === "error" || message.type() === "warning") problems.push(message.text());
  });
  page.on("pageerror", (error) => problems.push(String(error)));
  page.on("request", (request) => {
    if (!request.url().startsWith("file:") && !request.url().startsWith("data:"))
      problems.push("network request: " + request.url());
  });
  await page.goto("file://" + path.resolve(file) + hash);
  await page.waitForSelector("body[data-ready=true]", { timeout: 60000 });
  return { page, problems };
}

const lineOf = (page, name) =>
  page.locator("#tree .line", { has: page.locator(".name", { hasText: new RegExp("^" + name + "$") }) });

// Whether the element lies wholly inside the tree box's view.
async function inTreeView(page, selector) {
  return page.evaluate((selector) => {
    const element = document.querySelector(selector);
    if (!element) return false;
    const box = document.getElementById("tree").getBoundingClientRect();
    const r = element.getBoundingClientRect();
    return r.height > 0 && r.top >= box.top - 1 && r.bottom <= box.bottom + 1;
  }, selector);
}

// axe-core from node_modules, injected as the test's own script (the page's
// policy governs the page's scripts only); serious and critical findings.
async function auditProblems(page) {
  const source = fs.readFileSync(require.resolve("axe-core/axe.min.js"), "utf8");
  await page.evaluate(source);
  const violations = await page.evaluate(async () => (await window.axe.run(document)).violations);
  return violations
    .filter((v) => v.impact === "serious" || v.impact === "critical")
    .map((v) => v.id + ": " + v.nodes.map((n) => n.target.join(" ")).slice(0, 3).join(", "));
}

async function checkExample(context) {
  const { page, problems } = await open(context, examplePage);

  // The summary: passed, inconclusive, failed, total.
  assert.deepEqual(await page.locator("#summary dd").allTextContents(), ["6", "2", "1", "9"]);
  assert.equal(await page.locator("#summary .bar rect").count(), 3);

  // The failed check, with its location, under the failures.
  const failure = page.locator("#failures li", { hasText: "size() == capacity()" }).first();
  assert.ok(await failure.isVisible());
  assert.match(await failure.textContent(), /stack_test › Stack › overflow/);
  assert.match(await failure.textContent(), /src\/stack_test\.cpp:30/);
  const target = await failure.locator("a.path").getAttribute("href");

  // Collapsed below the drivers: the suite shows, its test cases do not.
  assert.ok(await lineOf(page, "Stack").first().isVisible());
  assert.equal(await lineOf(page, "push_pop").count(), 0);

  // Expanding a test case shows its checks, trace lines and notes.
  await lineOf(page, "Stack").first().click();
  await lineOf(page, "push_pop").click();
  const details = page.locator("#tree .details", { hasText: "top() == 3" });
  await details.waitFor();
  const text = await details.textContent();
  assert.match(text, /pop\(\) == 3 && pop\(\) == 2/);
  assert.match(text, /pushed 1, 2 and 3/);
  assert.match(text, /Comment:after three pushes/);

  // Failures only hides every passing node.
  await page.check("#failures-only");
  const states = await page.locator("#tree .line").evaluateAll((lines) => lines.map((l) => l.className));
  assert.ok(states.length >= 3, "failed nodes shown: " + states.length);
  for (const state of states) assert.match(state, /state-ko/);
  await page.uncheck("#failures-only");

  // Search finds a check: its test case shows, with the match marked.
  await page.fill("#search", "capacity()");
  await page.press("#search", "Enter");
  await lineOf(page, "overflow").waitFor();
  assert.ok(await page.locator("#tree .details mark", { hasText: "capacity()" }).first().isVisible());
  assert.equal(await lineOf(page, "push_pop").count(), 0);
  assert.match(await page.textContent("#status"), /^1 of \d+$/);
  await page.fill("#search", "");
  await page.press("#search", "Enter");

  // Search finds file:line and the notes, Enter steps through the matches.
  await page.fill("#search", "src/stack_test.cpp:30");
  await page.press("#search", "Enter");
  assert.equal(await page.textContent("#status"), "1 of 1");
  assert.match(await page.textContent("#tree .line.active"), /overflow/);
  await page.fill("#search", "three pushes");
  await page.press("#search", "Enter");
  assert.match(await page.textContent("#tree .line.active"), /push_pop/);
  await page.fill("#search", "stack");
  await page.press("#search", "Enter");
  const firstMatch = await page.getAttribute("#tree-items", "aria-activedescendant");
  await page.press("#search", "Enter");
  assert.notEqual(await page.getAttribute("#tree-items", "aria-activedescendant"), firstMatch);
  await page.press("#search", "Shift+Enter");
  assert.equal(await page.getAttribute("#tree-items", "aria-activedescendant"), firstMatch);
  assert.match(await page.textContent("#status"), /^1 of \d+$/);
  await page.fill("#search", "");
  await page.press("#search", "Enter");

  // Not executed only: the objects that did not run.
  await page.check("#not-executed-only");
  const notRun = await page.locator("#tree .line.state-ne .name").allTextContents();
  assert.ok(notRun.length >= 2, notRun.join(" | "));
  await page.uncheck("#not-executed-only");

  // Status by shape as well as colour: with every status colour the same
  // and the page in grey, a passed and a failed line still differ.
  await page.click("#expand-all");
  await page.evaluate(() => {
    const root = document.documentElement.style;
    for (const name of ["--passed", "--failed", "--inconclusive"]) root.setProperty(name, "#777777");
    root.filter = "grayscale(1)";
  });
  const passedLine = lineOf(page, "push_pop"), failedLine = lineOf(page, "overflow");
  assert.match(await passedLine.textContent(), /passed/);
  assert.match(await failedLine.textContent(), /failed/);
  const [passedGlyph, failedGlyph] = [await passedLine.locator(".glyph").screenshot(), await failedLine.locator(".glyph").screenshot()];
  assert.notDeepEqual(passedGlyph, failedGlyph, "passed and failed glyphs alike in grey");
  await page.evaluate(() => document.documentElement.removeAttribute("style"));

  // The tree pattern: levels, positions and a valid active descendant.
  const items = await page.locator("#tree [role=treeitem]").evaluateAll((nodes) =>
    nodes.map((n) => [n.getAttribute("aria-level"), n.getAttribute("aria-posinset"), n.getAttribute("aria-setsize")]));
  for (const [level, at, size] of items) assert.ok(level >= 1 && at >= 1 && Number(at) <= Number(size), items.join(" "));
  assert.deepEqual(await auditProblems(page), []);
  await page.click("#collapse-all");
  await page.click("#tree .line >> nth=0");
  await page.click("#tree .line >> nth=0");
  const activeId = await page.getAttribute("#tree-items", "aria-activedescendant");
  assert.equal(await page.locator("#" + activeId).count(), 1);

  // The failures list counts what the totals count; the skip link leads to the tree.
  assert.equal(await page.textContent("#failures-heading .count"), "1");
  assert.equal(await page.getAttribute("a.skip", "href"), "#tree-items");

  // The keyboard: a click collapses the driver, right expands it, Enter
  // collapses it again, down moves to the next line.
  await page.click("#tree .line >> nth=0");
  const first = await page.getAttribute("#tree-items", "aria-activedescendant");
  assert.match(first, /^node-\d+$/);
  assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "false");
  await page.keyboard.press("ArrowRight");
  assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "true");
  await page.keyboard.press("Enter");
  assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "false");
  await page.keyboard.press("ArrowRight");
  await page.keyboard.press("ArrowDown");
  const second = await page.getAttribute("#tree-items", "aria-activedescendant");
  assert.notEqual(first, second);
  assert.match(await page.textContent("#" + second), /Stack/);
  // Left collapses the suite (opened above), then goes up to its driver.
  await page.keyboard.press("ArrowLeft");
  assert.equal(await page.getAttribute("#" + second, "aria-expanded"), "false");
  await page.keyboard.press("ArrowLeft");
  assert.equal(await page.getAttribute("#tree-items", "aria-activedescendant"), first);

  // Dark colours follow the system.
  const light = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
  await page.emulateMedia({ colorScheme: "dark" });
  const dark = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
  assert.notEqual(light, dark);
  await page.emulateMedia({ colorScheme: "light" });

  // Print media (without a real print) shows the tree expanded.
  await page.emulateMedia({ media: "print" });
  await page.locator("#print .line", { hasText: "push_pop" }).waitFor();
  assert.ok(await page.locator("#print .line", { hasText: "push_pop" }).isVisible());
  assert.match(await page.locator("#print .line", { hasText: "push_pop" }).textContent(), /✓/);
  assert.ok(await page.locator("#print .details", { hasText: "size() == capacity()" }).isVisible());
  assert.equal(await page.locator("#tree").isVisible(), false);
  await page.emulateMedia({ media: "screen" });

  await page.setViewportSize({ width: 1100, height: 900 });
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({ path: screenshot, fullPage: true });
  assert.deepEqual(problems, []);
  await page.close();

  // A deep link opens the page with its node expanded and in view.
  const linked = await open(context, examplePage, target);
  const id = target.slice(2);
  const line = linked.page.locator("#node-" + id);
  await line.waitFor();
  assert.match(await line.textContent(), /overflow/);
  assert.equal(await linked.page.getAttribute("#node-" + id, "aria-expanded"), "true");
  assert.equal(await linked.page.getAttribute("#tree-items", "aria-activedescendant"), "node-" + id);
  assert.ok(await linked.page.locator("#tree .details", { hasText: "size() == capacity()" }).isVisible());
  const box = await line.boundingBox();
  const viewport = linked.page.viewportSize();
  assert.ok(box && box.y >= 0 && box.y + box.height <= viewport.height, "deep-linked node in view");
  assert.deepEqual(linked.problems, []);
}

// A tree of 300,000 nodes, all expanded, far past the browser's element
// height limit: End, deep links, failure links and the scroll bar reach
// every node, and show it in the tree box.
async function checkBig(context) {
  const { page, problems } = await open(context, bigPage);
  const count = await page.evaluate(() => Number(document.getElementById("status").textContent.replace(/\D/g, "")));
  assert.ok(count >= 300000, "nodes: " + count);
  await page.click("#expand-all");
  await page.focus("#tree-items");
  await page.keyboard.press("End");
  const last = count - 1;
  assert.equal(await page.getAttribute("#tree-items", "aria-activedescendant"), "node-" + last);
  assert.ok(await inTreeView(page, "#node-" + last), "last node in view after End");
  assert.match(await page.textContent("#node-" + last), /case_\d+/);

  // A deep link past the first third, in the expanded tree.
  const deep = Math.floor(count * 0.6);
  await page.evaluate((deep) => { window.location.hash = "#n" + deep; }, deep);
  await page.waitForFunction((deep) => document.getElementById("tree-items").getAttribute("aria-activedescendant") === "node-" + deep, deep);
  assert.ok(await inTreeView(page, "#node-" + deep), "deep-linked node in view");

  // The scroll bar's end shows the last node too; Home the first.
  await page.evaluate(() => { const tree = document.getElementById("tree"); tree.scrollTop = tree.scrollHeight; });
  await page.waitForSelector("#node-" + last);
  assert.ok(await inTreeView(page, "#node-" + last), "last node in view at the scroll bar's end");
  assert.ok((await page.evaluate(() => document.getElementById("tree").scrollHeight)) < 10000000);

  // Failure links land on their node: one shown at once, one behind "more".
  // The ones behind "more" are built from the failures block when it opens.
  for (const [link, more] of [[page.locator("#failures ol.failures a.path").nth(50), false],
                              [page.locator("#failures details.more a.path").last(), true]]) {
    if (more) await page.click("#failures details.more > summary");
    await link.waitFor();
    const href = await link.getAttribute("href");
    const name = (await link.textContent()).split(" › ").pop();
    await link.click();
    const id = href.slice(2);
    await page.waitForFunction((id) => document.getElementById("tree-items").getAttribute("aria-activedescendant") === "node-" + id, id);
    assert.ok(await inTreeView(page, "#node-" + id), "failure link " + href + " in view");
    assert.equal(await page.textContent("#node-" + id + " .name"), name);
  }
  // The page's failure count is the report's.
  assert.equal(await page.textContent("#failures-heading .count"), await page.textContent("#summary .failed dd"));
  assert.deepEqual(problems, []);
  await page.close();
}

// Long names and expressions at 390 pixels: every column in the tree box.
async function checkNarrow(context) {
  const { page, problems } = await open(context, smallPage);
  await page.setViewportSize({ width: 390, height: 800 });
  await page.click("#expand-all");
  await page.mouse.move(0, 0);
  const outside = await page.evaluate(() => {
    const box = document.getElementById("tree").getBoundingClientRect();
    const found = [];
    for (const e of document.querySelectorAll("#tree .line > *:not(.sr), #tree .details td, #tree .details th")) {
      const r = e.getBoundingClientRect();
      if (r.width > 0 && (r.left < box.left - 1 || r.right > box.right + 1)) found.push(e.className + " " + e.textContent.slice(0, 30));
    }
    return found;
  });
  assert.deepEqual(outside, []);
  // The whole name shows on hover.
  const long = page.locator("#tree .line .name", { hasText: "case_0_" });
  const cut = await long.evaluate((e) => e.scrollWidth > e.clientWidth);
  assert.ok(cut, "the long name is cut at rest");
  await long.hover();
  assert.equal(await long.evaluate((e) => e.scrollWidth <= e.clientWidth + 1), true);
  assert.deepEqual(problems, []);
  await page.close();
}

// A German user's page: German labels in markup and script, the report's
// words as they are.
async function checkGerman(context) {
  const { page, problems } = await open(context, germanPage);
  assert.equal(await page.getAttribute("html", "lang"), "de");
  assert.equal(await page.textContent("#expand-all"), "Alle aufklappen");
  assert.match(await page.textContent("#failures-heading"), /^Fehlschläge 1$/);
  assert.match(await page.textContent("#status"), /^\d+ Knoten$/);
  await page.click("#expand-all");
  assert.match(await lineOf(page, "overflow").textContent(), /fehlgeschlagen/);
  assert.match(await page.textContent("#tree"), /Test Case/);  // the report's own words
  assert.deepEqual(problems, []);
  await page.close();
}

// Test names that are markup stay text: nothing runs, nothing loads.
async function checkHostile(context) {
  const { page, problems } = await open(context, hostilePage);
  await page.click("#expand-all");
  const names = await page.locator("#tree .line .name").allTextContents();
  assert.ok(names.includes("<img src=x onerror=window.pwned=1>"), names.join(" | "));
  assert.ok(names.includes("</script><script>window.pwned=2</script>"), names.join(" | "));
  assert.match(await page.textContent("#failures"), /<b onmouseover=window.pwned=3>&amp;<\/b>/);
  await page.hover("#failures li");
  assert.equal(await page.evaluate(() => window.pwned), undefined);
  assert.equal(await page.locator("img, iframe, object, embed").count(), 0);
  assert.deepEqual(problems, []);
}

// A page with a run history of three runs, the third labelled with markup:
// the trend chart, each column titled with its run's label and time; the
// new failures ahead of the failures; on every failed object, in the
// failures list and in the tree, its badge and its strip of statuses told
// in words; the label shown as text.
async function checkHistory(context) {
  const { page, problems } = await open(context, historyPage);
  const dialogs = [];
  page.on("dialog", (dialog) => { dialogs.push(dialog.message()); dialog.dismiss(); });
  const titles = await page.locator("#history svg.trend > g > title").allTextContents();
  assert.deepEqual(titles.map((t) => t.split(":")[0].replace(/ \(.*/, "")), ["run 1", "run 2", "run 3", "this report"]);
  assert.match(titles[0], /^run 1 \(one, 2026-12-07T09:00:00\): Passed 4, Inconclusive 1, Failed 2, Total 7$/);
  assert.match(titles[2], /^run 3 \(<img src=x onerror=alert\(1\)>, 2026-12-09T09:00:00\)/);
  assert.equal(await page.locator("#history svg.trend rect.failed").count(), 4);

  // "New failures" comes ahead of the failures, and links into the tree.
  assert.ok(await page.evaluate(() => Boolean(document.querySelector("#history .new-failures")
    .compareDocumentPosition(document.getElementById("failures")) & Node.DOCUMENT_POSITION_FOLLOWING)),
            "new failures ahead of the failures");
  assert.deepEqual(await page.locator("#history .new-failures a.path").allTextContents(), ["queue_test > Queue > flaky"]);

  // The failures list: every failed object with its badge and strip.
  const items = page.locator("#failures ol.failures > li");
  assert.equal(await items.count(), 3);
  assert.deepEqual(await items.locator(".badge").allTextContents(),
                   ["failing since run 1 (one, 2026-12-07T09:00:00)", "flaky",
                    "failing since run 3 (<img src=x onerror=alert(1)>, 2026-12-09T09:00:00)"]);
  assert.equal(await items.nth(1).locator(".strip").getAttribute("aria-label"),
               "Last 4 runs, oldest first: passed, failed, passed, failed");
  assert.equal(await items.nth(1).locator(".strip").textContent(), "✓✗✓✗");

  // The tree: the same badges on the failed objects' lines, none elsewhere.
  await page.click("#expand-all");
  for (const [name, word, glyphs] of [["always", "failing since run 1 (one, 2026-12-07T09:00:00)", "✗✗✗✗"],
                                       ["flaky", "flaky", "✓✗✓✗"],
                                       ["extra", "failing since run 3 (<img src=x onerror=alert(1)>, 2026-12-09T09:00:00)", "··✗✗"]]) {
    const line = lineOf(page, name);
    assert.equal(await line.locator(".badge").textContent(), word, name);
    assert.equal(await line.locator(".strip").textContent(), glyphs, name);
  }
  assert.equal(await page.locator("#tree .line .badge").count(), 3);
  assert.equal(await page.locator("#tree .line.state-ok .badge").count(), 0);
  assert.equal(await page.locator("img, iframe, object, embed").count(), 0);
  assert.deepEqual(await auditProblems(page), []);

  await page.setViewportSize({ width: 1100, height: 900 });
  await page.evaluate(() => { document.getElementById("tree").style.height = "300px"; });
  await page.locator("body").screenshot({ path: historyShot });
  assert.deepEqual(dialogs, []);
  assert.deepEqual(problems, []);
  await page.close();
}

(async () => {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "veldora-chromium-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
    viewport: { width: 1100, height: 800 },
  });
  try {
    await checkExample(context);
    await checkHostile(context);
    await checkBig(context);
    await checkNarrow(context);
    await checkGerman(context);
    await checkHistory(context);
    console.log("browser test: 6 passed, 0 failed");
  } finally {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
