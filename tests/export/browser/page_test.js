// The pages of veldora-export in Debian's Chromium, headless, driven by
// playwright-core (which downloads no browser), one test a behaviour:
//
//   node page_test.js EXAMPLE_PAGE HOSTILE_PAGE SCREENSHOT BIG_PAGE SMALL_PAGE GERMAN_PAGE
//        HISTORY_PAGE HISTORY_SCREENSHOT PARTS_PAGE
//
// The bundled example's page (the summary, the failures, the tree's filters,
// search, expanding, the keyboard, deep links, dark and print styles, status
// told by shape as well as colour, an accessibility audit), hostile test
// names that stay text, a tree of 300,000 nodes whose every node can be
// reached and shown in the window, long names at 390 pixels, a German page
// a page with a run history, at 390 pixels too, and a page of a run of two
// parts. In every test no script
// error reaches the console, no dialog opens and nothing loads from the
// network.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { after, afterEach, before, describe, test } = require("node:test");
const { chromium } = require("playwright-core");

const [examplePage, hostilePage, screenshot, bigPage, smallPage, germanPage, historyPage, historyShot,
       partsPage] = process.argv.slice(2);

// One tab for every test, each test on a page loaded afresh: a new tab
// costs more than the page. problems gathers the page's script errors,
// dialogs and network requests.
let context, profile, tab;
const problems = [];
before(async () => {
  profile = fs.mkdtempSync(path.join(os.tmpdir(), "veldora-chromium-"));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
  });
  tab = await context.newPage();
  tab.on("console", (message) => {
    if (message.type() === "error" || message.type() === "warning") problems.push(message.text());
  });
  tab.on("pageerror", (error) => problems.push(String(error)));
  tab.on("dialog", (dialog) => { problems.push("dialog: " + dialog.message()); dialog.dismiss(); });
  tab.on("request", (request) => {
    if (!/^(file|data|about):/.test(request.url())) problems.push("network request: " + request.url());
  });
});
after(async () => {
  await context.close();
  fs.rmSync(profile, { recursive: true, force: true });
});

// The tab on FILE (at HASH) in a window of the given size, once its tree is
// ready, with the screen's light colours.
async function load(file, { hash = "", width = 1100, height = 800 } = {}) {
  await tab.goto("about:blank");
  problems.length = 0;
  await tab.emulateMedia({ media: null, colorScheme: "light" });
  await tab.setViewportSize({ width, height });
  await tab.goto("file://" + path.resolve(file) + hash);
  await tab.waitForSelector("body[data-ready=true]", { timeout: 60000 });
  return tab;
}

// Runs check on FILE's page, then asks that nothing went wrong there.
async function onPage(file, check, options) {
  await check(await load(file, options));
  assert.deepEqual(problems, []);
}

const lineOf = (page, name) =>
  page.locator("#tree .line", { has: page.locator(".name", { hasText: new RegExp("^" + name + "$") }) });

// Where node i's line is seen: wholly inside the tree box's view, and
// wholly inside the window, below the toolbar where that sticks to the
// window's top.
async function seen(page, i) {
  return page.evaluate((i) => {
    const line = document.getElementById("node-" + i);
    if (!line) return { treeBox: false, window: false };
    const r = line.getBoundingClientRect(), box = document.getElementById("tree").getBoundingClientRect();
    const top = Math.max(0, document.querySelector("#objects .controls").getBoundingClientRect().bottom);
    return { treeBox: r.height > 0 && r.top >= box.top - 1 && r.bottom <= box.bottom + 1,
             window: r.height > 0 && r.top >= top - 1 && r.bottom <= window.innerHeight + 1 };
  }, i);
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

const activeNode = (page) => page.getAttribute("#tree-items", "aria-activedescendant");

describe("the bundled example's page", () => {
  test("the summary: passed, inconclusive, failed, total and a bar", () => onPage(examplePage, async (page) => {
    assert.deepEqual(await page.locator("#summary dd").allTextContents(), ["6", "2", "1", "9"]);
    assert.equal(await page.locator("#summary .bar rect").count(), 3);
    await page.setViewportSize({ width: 1100, height: 900 });
    await page.screenshot({ path: screenshot, fullPage: true });
  }));

  test("the failures: the failed check with its path and location, counted as the totals count", () =>
    onPage(examplePage, async (page) => {
      const failure = page.locator("#failures li", { hasText: "size() == capacity()" }).first();
      assert.ok(await failure.isVisible());
      assert.match(await failure.textContent(), /stack_test › Stack › overflow/);
      assert.match(await failure.textContent(), /src\/stack_test\.cpp:30/);
      assert.equal(await page.textContent("#failures-heading .count"), "1");
    }));

  test("the skip link leads to the tree", () => onPage(examplePage, async (page) => {
    assert.equal(await page.getAttribute("a.skip", "href"), "#tree-items");
  }));

  test("the tree opens collapsed below the drivers: the suite shows, its test cases do not", () =>
    onPage(examplePage, async (page) => {
      assert.ok(await lineOf(page, "Stack").first().isVisible());
      assert.equal(await lineOf(page, "push_pop").count(), 0);
    }));

  test("expanding a test case shows its checks, trace lines and notes", () => onPage(examplePage, async (page) => {
    await lineOf(page, "Stack").first().click();
    await lineOf(page, "push_pop").click();
    const details = page.locator("#tree .details", { hasText: "top() == 3" });
    await details.waitFor();
    const text = await details.textContent();
    assert.match(text, /pop\(\) == 3 && pop\(\) == 2/);
    assert.match(text, /pushed 1, 2 and 3/);
    assert.match(text, /Comment:after three pushes/);
  }));

  test("failures only hides every passing node", () => onPage(examplePage, async (page) => {
    await page.check("#failures-only");
    const states = await page.locator("#tree .line").evaluateAll((lines) => lines.map((l) => l.className));
    assert.ok(states.length >= 3, "failed nodes shown: " + states.length);
    for (const state of states) assert.match(state, /state-ko/);
  }));

  test("not executed only shows the objects that did not run", () => onPage(examplePage, async (page) => {
    await page.check("#not-executed-only");
    const notRun = await page.locator("#tree .line.state-ne .name").allTextContents();
    assert.ok(notRun.length >= 2, notRun.join(" | "));
  }));

  test("search finds a check: its test case shows, with the match marked", () => onPage(examplePage, async (page) => {
    await page.fill("#search", "capacity()");
    await page.press("#search", "Enter");
    await lineOf(page, "overflow").waitFor();
    assert.ok(await page.locator("#tree .details mark", { hasText: "capacity()" }).first().isVisible());
    assert.equal(await lineOf(page, "push_pop").count(), 0);
    assert.match(await page.textContent("#status"), /^1 of \d+$/);
  }));

  test("search finds file:line and the notes", () => onPage(examplePage, async (page) => {
    await page.fill("#search", "src/stack_test.cpp:30");
    await page.press("#search", "Enter");
    assert.equal(await page.textContent("#status"), "1 of 1");
    assert.match(await page.textContent("#tree .line.active"), /overflow/);
    await page.fill("#search", "three pushes");
    await page.press("#search", "Enter");
    assert.match(await page.textContent("#tree .line.active"), /push_pop/);
  }));

  test("Enter and Shift+Enter step through the matches", () => onPage(examplePage, async (page) => {
    await page.fill("#search", "stack");
    await page.press("#search", "Enter");
    const firstMatch = await activeNode(page);
    await page.press("#search", "Enter");
    assert.notEqual(await activeNode(page), firstMatch);
    await page.press("#search", "Shift+Enter");
    assert.equal(await activeNode(page), firstMatch);
    assert.match(await page.textContent("#status"), /^1 of \d+$/);
  }));

  test("status shows by shape as well as colour: in grey, a passed and a failed line still differ", () =>
    onPage(examplePage, async (page) => {
      await page.click("#expand-all");
      await page.evaluate(() => {
        const root = document.documentElement.style;
        for (const name of ["--passed", "--failed", "--inconclusive"]) root.setProperty(name, "#777777");
        root.filter = "grayscale(1)";
      });
      const passedLine = lineOf(page, "push_pop"), failedLine = lineOf(page, "overflow");
      assert.match(await passedLine.textContent(), /passed/);
      assert.match(await failedLine.textContent(), /failed/);
      const [passedGlyph, failedGlyph] = [await passedLine.locator(".glyph").screenshot(),
                                          await failedLine.locator(".glyph").screenshot()];
      assert.notDeepEqual(passedGlyph, failedGlyph, "passed and failed glyphs alike in grey");
    }));

  test("the tree pattern: levels, positions, a valid active descendant, and an accessibility audit", () =>
    onPage(examplePage, async (page) => {
      await page.click("#expand-all");
      const items = await page.locator("#tree [role=treeitem]").evaluateAll((nodes) =>
        nodes.map((n) => [n.getAttribute("aria-level"), n.getAttribute("aria-posinset"), n.getAttribute("aria-setsize")]));
      for (const [level, at, size] of items) assert.ok(level >= 1 && at >= 1 && Number(at) <= Number(size), items.join(" "));
      assert.deepEqual(await auditProblems(page), []);
      await page.click("#collapse-all");
      await page.click("#tree .line >> nth=0");
      await page.click("#tree .line >> nth=0");
      assert.equal(await page.locator("#" + (await activeNode(page))).count(), 1);
    }));

  test("the keyboard: right expands, Enter collapses, down moves, left collapses and goes to the parent", () =>
    onPage(examplePage, async (page) => {
      // A click on the driver collapses it.
      await page.click("#tree .line >> nth=0");
      const first = await activeNode(page);
      assert.match(first, /^node-\d+$/);
      assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "false");
      await page.keyboard.press("ArrowRight");
      assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "true");
      await page.keyboard.press("Enter");
      assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "false");
      await page.keyboard.press("ArrowRight");
      await page.keyboard.press("ArrowDown");
      const second = await activeNode(page);
      assert.notEqual(first, second);
      assert.match(await page.textContent("#" + second), /Stack/);
      await page.keyboard.press("ArrowRight");
      assert.equal(await page.getAttribute("#" + second, "aria-expanded"), "true");
      await page.keyboard.press("ArrowLeft");
      assert.equal(await page.getAttribute("#" + second, "aria-expanded"), "false");
      await page.keyboard.press("ArrowLeft");
      assert.equal(await activeNode(page), first);
    }));

  test("dark colours follow the system", () => onPage(examplePage, async (page) => {
    const light = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
    await page.emulateMedia({ colorScheme: "dark" });
    const dark = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
    assert.notEqual(light, dark);
  }));

  test("print media shows the tree expanded, without the tree box", () => onPage(examplePage, async (page) => {
    await page.emulateMedia({ media: "print" });
    const line = page.locator("#print .line", { hasText: "push_pop" });
    await line.waitFor();
    assert.ok(await line.isVisible());
    assert.match(await line.textContent(), /✓/);
    assert.ok(await page.locator("#print .details", { hasText: "size() == capacity()" }).isVisible());
    assert.equal(await page.locator("#tree").isVisible(), false);
  }));

  test("a deep link opens the page with its node expanded and in view", async () => {
    let target;
    await onPage(examplePage, async (page) => {
      target = await page.locator("#failures li", { hasText: "size() == capacity()" }).first()
        .locator("a.path").getAttribute("href");
    });
    await onPage(examplePage, async (page) => {
      const id = target.slice(2);
      const line = page.locator("#node-" + id);
      await line.waitFor();
      assert.match(await line.textContent(), /overflow/);
      assert.equal(await page.getAttribute("#node-" + id, "aria-expanded"), "true");
      assert.equal(await activeNode(page), "node-" + id);
      assert.ok(await page.locator("#tree .details", { hasText: "size() == capacity()" }).isVisible());
      const box = await line.boundingBox();
      const viewport = page.viewportSize();
      assert.ok(box && box.y >= 0 && box.y + box.height <= viewport.height, "deep-linked node in view");
    }, { hash: target });
  });
});

test("test names that are markup stay text: nothing runs, nothing loads", () => onPage(hostilePage, async (page) => {
  await page.click("#expand-all");
  const names = await page.locator("#tree .line .name").allTextContents();
  assert.ok(names.includes("<img src=x onerror=window.pwned=1>"), names.join(" | "));
  assert.ok(names.includes("</script><script>window.pwned=2</script>"), names.join(" | "));
  assert.match(await page.textContent("#failures"), /<b onmouseover=window.pwned=3>&amp;<\/b>/);
  await page.hover("#failures li");
  assert.equal(await page.evaluate(() => window.pwned), undefined);
  assert.equal(await page.locator("img, iframe, object, embed").count(), 0);
}));

// A tree of 300,000 nodes, all expanded, far past the browser's element
// height limit: End, deep links, failure links and the scroll bar reach
// every node, and show it in the tree box and in the window, in a window of
// a common size and in a short one, where the tree box is taller than the
// window and the toolbar sticks over its top. One page for all, to keep the
// test short; each test sizes the window.
describe("a tree of 300,000 nodes, all expanded", () => {
  let page, count;
  before(async () => {
    page = await load(bigPage);
    count = await page.evaluate(() => Number(document.getElementById("status").textContent.replace(/\D/g, "")));
    await page.click("#expand-all");
  });
  afterEach(() => assert.deepEqual(problems.splice(0), []));

  const activeIs = (i) => page.waitForFunction((i) =>
    document.getElementById("tree-items").getAttribute("aria-activedescendant") === "node-" + i, i);

  for (const [window, width, height] of [["a window", 1100, 800], ["a short window", 600, 300]]) {
    test(`End shows the last node in the tree box and in ${window}`, async () => {
      assert.ok(count >= 300000, "nodes: " + count);
      await page.setViewportSize({ width, height });
      await page.evaluate(() => window.scrollTo(0, 0));
      await page.focus("#tree-items");
      await page.keyboard.press("End");
      const last = count - 1;
      assert.equal(await activeNode(page), "node-" + last);
      assert.deepEqual(await seen(page, last), { treeBox: true, window: true }, "the last node after End");
      assert.match(await page.textContent("#node-" + last), /case_\d+/);
    });

    test(`deep links show their node in the tree box and in ${window}`, async () => {
      await page.setViewportSize({ width, height });
      // The second node, one past the first third, the last.
      for (const deep of [1, Math.floor(count * 0.6), count - 1]) {
        await page.evaluate(() => window.scrollTo(0, 0));
        await page.evaluate((deep) => { window.location.hash = "#n" + deep; }, deep);
        await activeIs(deep);
        assert.deepEqual(await seen(page, deep), { treeBox: true, window: true }, "deep link #n" + deep);
      }
    });

    // The ones behind "more" are built from the failures block when it opens.
    test(`failure links land on their node, shown in the tree box and in ${window}`, async () => {
      await page.setViewportSize({ width, height });
      const more = page.locator("#failures details.more");
      for (const [link, behindMore] of [[page.locator("#failures ol.failures a.path").first(), false],
                                        [page.locator("#failures ol.failures a.path").nth(50), false],
                                        [page.locator("#failures details.more a.path").last(), true]]) {
        if (behindMore && !(await more.evaluate((details) => details.open))) await page.click("#failures details.more > summary");
        await link.waitFor();
        const href = await link.getAttribute("href");
        const name = (await link.textContent()).split(" › ").pop();
        await link.click();
        const id = href.slice(2);
        await activeIs(id);
        assert.deepEqual(await seen(page, id), { treeBox: true, window: true }, "failure link " + href);
        assert.equal(await page.textContent("#node-" + id + " .name"), name);
      }
    });
  }

  test("the scroll bar's end shows the last node, in a scroll space under the height limit", async () => {
    await page.setViewportSize({ width: 1100, height: 800 });
    await page.evaluate(() => { const tree = document.getElementById("tree"); tree.scrollTop = tree.scrollHeight; });
    await page.waitForSelector("#node-" + (count - 1));
    assert.equal((await seen(page, count - 1)).treeBox, true, "last node in view at the scroll bar's end");
    assert.ok((await page.evaluate(() => document.getElementById("tree").scrollHeight)) < 10000000);
  });

  test("the page's failure count is the report's", async () => {
    assert.equal(await page.textContent("#failures-heading .count"), await page.textContent("#summary .failed dd"));
  });
});

describe("long names and expressions at 390 pixels", () => {
  const narrow = { width: 390, height: 800 };
  test("every column stays in the tree box", () => onPage(smallPage, async (page) => {
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
  }, narrow));

  test("a long name is cut at rest and shows whole on hover", () => onPage(smallPage, async (page) => {
    const long = page.locator("#tree .line .name", { hasText: "case_0_" });
    await page.click("#expand-all");
    await page.mouse.move(0, 0);
    assert.ok(await long.evaluate((e) => e.scrollWidth > e.clientWidth), "the long name is cut at rest");
    await long.hover();
    assert.equal(await long.evaluate((e) => e.scrollWidth <= e.clientWidth + 1), true);
  }, narrow));
});

test("a German user's page: German labels in markup and script, the report's words as they are", () =>
  onPage(germanPage, async (page) => {
    assert.equal(await page.getAttribute("html", "lang"), "de");
    assert.equal(await page.textContent("#expand-all"), "Alle aufklappen");
    assert.match(await page.textContent("#failures-heading"), /^Fehlschläge 1$/);
    assert.match(await page.textContent("#status"), /^\d+ Knoten$/);
    await page.click("#expand-all");
    assert.match(await lineOf(page, "overflow").textContent(), /fehlgeschlagen/);
    assert.match(await page.textContent("#tree"), /Test Case/);
  }));

// A page with a run history of three runs, the third labelled with markup,
// which shows as text.
describe("a page with a run history", () => {
  test("the trend chart: each run's column titled with its label and time", () => onPage(historyPage, async (page) => {
    const titles = await page.locator("#history svg.trend > g > title").allTextContents();
    assert.deepEqual(titles.map((t) => t.split(":")[0].replace(/ \(.*/, "")), ["run 1", "run 2", "run 3", "this report"]);
    assert.match(titles[0], /^run 1 \(one, 2026-12-07T09:00:00\): Passed 4, Inconclusive 1, Failed 2, Total 7$/);
    assert.match(titles[2], /^run 3 \(<img src=x onerror=alert\(1\)>, 2026-12-09T09:00:00\)/);
    assert.equal(await page.locator("#history svg.trend rect.failed").count(), 4);
  }));

  test("the gate's counts come ahead of the failures; the runs that streaks began in are named once", () =>
    onPage(historyPage, async (page) => {
      assert.ok(await page.evaluate(() => Boolean(document.querySelector("#history .gate")
        .compareDocumentPosition(document.getElementById("failures")) & Node.DOCUMENT_POSITION_FOLLOWING)),
                "the gate's counts ahead of the failures");
      assert.equal(await page.textContent("#history .gate"),
                   "New 0, Lost 0, Flaky 1, Quarantined 0, Fixed 0, Still failing 2, Added 1, Removed 2");
      assert.equal(await page.textContent("#history p.meta:last-of-type"),
                   "The runs named above: run 1 (one, 2026-12-07T09:00:00); " +
                   "run 3 (<img src=x onerror=alert(1)>, 2026-12-09T09:00:00).");
    }));

  test("the failures list: every failed object with its badge and its strip told in words", () =>
    onPage(historyPage, async (page) => {
      const items = page.locator("#failures ol.failures > li");
      assert.equal(await items.count(), 3);
      assert.deepEqual(await items.locator(".badge").allTextContents(),
                       ["failing since run 1", "flaky", "failing since run 3"]);
      assert.equal(await items.nth(1).locator(".strip").getAttribute("aria-label"),
                   "Last 4 runs, oldest first: passed, failed, passed, failed");
      assert.equal(await items.nth(1).locator(".strip").textContent(), "✓✗✓✗");
    }));

  test("the tree: the same badges on the failed objects' lines, none elsewhere, and an accessibility audit", () =>
    onPage(historyPage, async (page) => {
      await page.click("#expand-all");
      for (const [name, word, glyphs] of [["always", "failing since run 1", "✗✗✗✗"],
                                           ["flaky", "flaky", "✓✗✓✗"],
                                           ["extra", "failing since run 3", "··✗✗"]]) {
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
    }));

  test("at 390 pixels the table against the history and the badges wrap: the page does not scroll sideways", () =>
    onPage(historyPage, async (page) => {
      const widths = await page.evaluate(() => {
        const right = (e) => Math.ceil(e.getBoundingClientRect().right);
        const table = document.querySelector("#history table.information.history");
        return { page: document.documentElement.scrollWidth, table: right(table),
                 cells: Math.max(...[...table.querySelectorAll("th, td, td > *")].map(right)) };
      });
      assert.ok(widths.page <= 390 && widths.table <= 390 && widths.cells <= widths.table, JSON.stringify(widths));
    }, { width: 390, height: 800 }));
});

// The example's report and a queue's as the two parts of one run.
describe("a page of a run of two parts", () => {
  test("the tree opens on a level per part above the drivers; the failures are grouped by part", () =>
    onPage(partsPage, async (page) => {
      const parts = page.locator("#tree .line", { hasText: "Part" });
      assert.equal(await parts.count(), 2);
      assert.match(await parts.nth(0).textContent(), /report/);
      assert.match(await parts.nth(1).textContent(), /run4/);
      assert.ok(await lineOf(page, "stack_test").first().isVisible());
      assert.ok(await lineOf(page, "queue_test").first().isVisible());
      const groups = await page.locator("#failures .group h3").allTextContents();
      assert.ok(groups.some((g) => g.startsWith("report › stack_test")), groups.join("|"));
      assert.ok(groups.some((g) => g.startsWith("run4 › queue_test")), groups.join("|"));
      assert.match(await page.textContent("#summary table.parts"), /run4/);
    }));

  test("a failure of the second part links to its node, shown in view", async () => {
    let target;
    await onPage(partsPage, async (page) => {
      target = await page.locator("#failures li", { hasText: "front() == 1" }).first()
        .locator("a.path").getAttribute("href");
    });
    await onPage(partsPage, async (page) => {
      const line = page.locator("#node-" + target.slice(2));
      await line.waitFor();
      assert.match(await line.textContent(), /always/);
      const box = await line.boundingBox();
      assert.ok(box && box.y >= 0 && box.y + box.height <= page.viewportSize().height, "node in view");
    }, { hash: target });
  });
});
