// The page of the bundled example in Debian's Chromium, headless, driven by
// playwright-core (which downloads no browser):
//
//   node page_test.js EXAMPLE_PAGE HOSTILE_PAGE SCREENSHOT
//
// Checks the summary, the failures, "failures only", expanding, deep links,
// search, the keyboard, dark and print styles, that hostile test names stay
// text, and that no script error reaches the console.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { chromium } = require("playwright-core");

const [examplePage, hostilePage, screenshot] = process.argv.slice(2);

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
  await page.waitForSelector("body[data-ready=true]", { timeout: 10000 });
  return { page, problems };
}

const lineOf = (page, name) =>
  page.locator("#tree .line", { has: page.locator(".name", { hasText: new RegExp("^" + name + "$") }) });

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
  assert.match(await page.textContent("#status"), /match/);
  await page.fill("#search", "");
  await page.press("#search", "Enter");

  // The keyboard: a click collapses the driver, right expands it, Enter
  // collapses it again, down moves to the next line.
  await page.click("#tree .line >> nth=0");
  const first = await page.getAttribute("#tree", "aria-activedescendant");
  assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "false");
  await page.keyboard.press("ArrowRight");
  assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "true");
  await page.keyboard.press("Enter");
  assert.equal(await page.getAttribute("#" + first, "aria-expanded"), "false");
  await page.keyboard.press("ArrowRight");
  await page.keyboard.press("ArrowDown");
  const second = await page.getAttribute("#tree", "aria-activedescendant");
  assert.notEqual(first, second);
  assert.match(await page.textContent("#" + second), /Stack/);
  // Left collapses the suite (opened above), then goes up to its driver.
  await page.keyboard.press("ArrowLeft");
  assert.equal(await page.getAttribute("#" + second, "aria-expanded"), "false");
  await page.keyboard.press("ArrowLeft");
  assert.equal(await page.getAttribute("#tree", "aria-activedescendant"), first);

  // Dark colours follow the system.
  const light = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
  await page.emulateMedia({ colorScheme: "dark" });
  const dark = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
  assert.notEqual(light, dark);
  await page.emulateMedia({ colorScheme: "light" });

  // Printing expands everything.
  await page.evaluate(() => window.dispatchEvent(new Event("beforeprint")));
  await page.emulateMedia({ media: "print" });
  assert.ok(await page.locator("#print .line", { hasText: "push_pop" }).isVisible());
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
  const line = linked.page.locator("#line-" + id);
  await line.waitFor();
  assert.match(await line.textContent(), /overflow/);
  assert.equal(await line.getAttribute("aria-expanded"), "true");
  assert.equal(await linked.page.getAttribute("#tree", "aria-activedescendant"), "line-" + id);
  assert.ok(await linked.page.locator("#tree .details", { hasText: "size() == capacity()" }).isVisible());
  const box = await line.boundingBox();
  const viewport = linked.page.viewportSize();
  assert.ok(box && box.y >= 0 && box.y + box.height <= viewport.height, "deep-linked node in view");
  assert.deepEqual(linked.problems, []);
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
    console.log("browser test: 2 passed, 0 failed");
  } finally {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
