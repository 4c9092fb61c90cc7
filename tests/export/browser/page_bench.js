// Times one page in Debian's Chromium, headless:
//
//   node page_bench.js PAGE
//
// prints one line: seconds from the start of loading (the navigation's time
// origin) until the summary and the failures are parsed and a frame is
// drawn with them, until the tree is ready, the slowest expansion of a
// node in milliseconds (the top node with the most children, and the node
// with the most details), Expand all in milliseconds (to the next frame),
// the 95th percentile of the frame times while the expanded tree scrolls
// by 10,000 lines (10 a frame, by the wheel), a search in milliseconds (a
// common word, to the next frame), and the browser's peak memory (all its
// processes, proportional set size) in megabytes.
"use strict";
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { execFileSync } = require("node:child_process");
const { chromium } = require("playwright-core");

const page = process.argv[2];

// Memory of every process whose command line names the profile: the sum of
// their proportional set sizes (shared pages split among their users, so
// nothing counts twice).
function browserMegabytes(profile) {
  const out = execFileSync("ps", ["-eo", "pid=,args="], { encoding: "utf8", maxBuffer: 1 << 24 });
  let kilobytes = 0;
  for (const line of out.split("\n")) {
    if (!line.includes(profile)) continue;
    try {
      const rollup = fs.readFileSync("/proc/" + line.trim().split(/\s+/)[0] + "/smaps_rollup", "utf8");
      kilobytes += Number((/^Pss:\s+(\d+)/m.exec(rollup) || [0, 0])[1]);
    } catch (error) {
      // The process ended meanwhile.
    }
  }
  return kilobytes / 1024;
}

(async () => {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "veldora-bench-"));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
    viewport: { width: 1200, height: 900 },
  });
  let peak = 0;
  const sampler = setInterval(() => { peak = Math.max(peak, browserMegabytes(profile)); }, 100);
  try {
    const tab = await context.newPage();
    // Watches the page as it is parsed (an init script is not the page's,
    // so its policy does not apply).
    await tab.addInitScript(() => {
      const times = (window.veldoraTimes = {});
      new MutationObserver(() => {
        if (!times.parsed && document.getElementById("objects")) {
          times.parsed = performance.now();
          requestAnimationFrame(() => { times.shown = performance.now(); });
        }
        if (!times.ready && document.body && document.body.dataset.ready) times.ready = performance.now();
      }).observe(document, { subtree: true, childList: true, attributes: true });
    });
    await tab.goto("file://" + path.resolve(page), { waitUntil: "commit", timeout: 120000 });
    await tab.waitForSelector("body[data-ready=true]", { timeout: 120000 });
    await tab.waitForFunction(() => window.veldoraTimes.shown && window.veldoraTimes.ready);
    const times = await tab.evaluate(() => window.veldoraTimes);
    const shown = times.shown / 1000;
    const ready = times.ready / 1000;
    // Expanding: collapse all, then open the top node with the most children
    // and, in it, the child with the most details.
    const expand = await tab.evaluate(async () => {
      const frame = () => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
      document.getElementById("collapse-all").click();
      await frame();
      const time = async (line) => {
        const t = performance.now();
        line.click();
        await frame();
        return performance.now() - t;
      };
      let worst = 0;
      const tops = [...document.querySelectorAll("#tree .line")];
      for (const line of tops.slice(0, 3)) {
        worst = Math.max(worst, await time(line));
        const children = [...document.querySelectorAll("#tree .line")].filter((l) => !l.classList.contains("open"));
        if (children[1]) worst = Math.max(worst, await time(children[1]));
        document.getElementById("collapse-all").click();
        await frame();
      }
      return worst;
    });
    const { expandAll, scrollP95, search } = await tab.evaluate(async () => {
      const frame = () => new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
      const nextFrame = () => new Promise((r) => requestAnimationFrame(r));
      const tree = document.getElementById("tree");
      let t = performance.now();
      document.getElementById("expand-all").click();
      await frame();
      const expandAll = performance.now() - t;
      // 1000 frames of 10 lines each; the wheel moves the content itself.
      const times = [];
      let last = await nextFrame();
      for (let k = 0; k < 1000; k++) {
        tree.dispatchEvent(new WheelEvent("wheel", { deltaY: 260, bubbles: true, cancelable: true }));
        if (tree.scrollHeight < 7900000) tree.scrollTop += 260;  // not scaled: the browser scrolls
        const now = await nextFrame();
        times.push(now - last);
        last = now;
      }
      times.sort((a, b) => a - b);
      const search = document.getElementById("search");
      search.value = "test";
      t = performance.now();
      search.dispatchEvent(new KeyboardEvent("keydown", { key: "Enter", bubbles: true }));
      await frame();
      return { expandAll, scrollP95: times[Math.floor(times.length * 0.95)], search: performance.now() - t };
    });
    peak = Math.max(peak, browserMegabytes(profile));
    console.log(`shown_s ${shown.toFixed(2)} ready_s ${ready.toFixed(2)} expand_ms ${expand.toFixed(0)} ` +
                `expand_all_ms ${expandAll.toFixed(0)} scroll_p95_ms ${scrollP95.toFixed(1)} ` +
                `search_ms ${search.toFixed(0)} browser_MB ${peak.toFixed(0)}`);
  } finally {
    clearInterval(sampler);
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
