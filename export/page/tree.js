// The tree view: a virtual list that builds elements only for the nodes in
// view. Every node is one block (its line, then its details when open); the
// blocks' heights live in a segment tree over the nodes in document order,
// where a closed node covers the range of its descendants. Opening or
// closing a node is one range update, finding the node at a height or the
// height of a node one walk from the root: O(log n), whatever is open.
//
// The browser caps an element's height (about 33.5 million pixels in
// Chromium, less elsewhere), so the scroll space is at most MAX_SCROLL:
// beyond, the scroll bar maps onto the content proportionally, while the
// wheel, the keyboard and the links move the content itself pixel by pixel.

const ROW = 26;              // height of a node line, as in the style sheet
const OVERSCAN = 400;        // pixels drawn beyond the view
const MAX_SCROLL = 8000000;  // under every browser's element height limit
const STATES = ["ne", "ok", "ko"];
const ICONS = ["none", "method", "class", "testscript"];
const STYLES = ["", "title", "plain", "failed", "passed"];
const GLYPHS = ["○", "✓", "✗"];
const ROLE_HEADER = 1, ROLE_TRACE = 3, ROLE_NOTE = 4;

// The scroll box holds the tree's items (one line a node) and, beside the
// tree rather than in it, the details of the open nodes: a tree item holds
// its own line only, so its name is what it shows.
const treeBox = document.getElementById("tree");
const treeItems = document.getElementById("tree-items");
const spacer = treeBox.querySelector(".spacer");

let D = null;             // the decoded data (decode.js)
let B = null;             // the decoded badges, with a run history only
let expanded;             // per node, 1: children and details shown
let covered;              // per node, 1: its descendants' range is covered
let detailHeight;         // measured height of a node's details, 0 when not yet
let filter = null;        // per node: 1 selected, 2 by its details, 4 holds a selected node; null: all shown
let failedBelow, totalBelow;  // verdicts in each node's subtree
let posInSet, setSize;    // among the shown siblings
let active = -1;
let pos = 0;              // the content's offset at the top of the view
let expectedScroll = 0;   // the scrollTop that pos was last mapped to
const drawn = new Map();  // node -> {line, details (or null)}

// ---- heights -------------------------------------------------------------

let size = 1, base, sums, covers;

const stateOf = (i) => D.flags[i] & 3;
const hasChildren = (i) => D.end[i] > i + 1;
const hasDetails = (i) => D.detailEnd[i] > D.detailStart[i];
const expandable = (i) => hasChildren(i) || hasDetails(i);
const shownSelf = (i) => filter === null || filter[i] !== 0;
const childrenOpen = (i) => expanded[i] === 1 || (filter !== null && (filter[i] & 6) !== 0);
const detailsOpen = (i) => hasDetails(i) && (expanded[i] === 1 || (filter !== null && (filter[i] & 2) !== 0));
const isOpen = (i) => (hasChildren(i) && childrenOpen(i)) || detailsOpen(i);

// An estimate until the details are drawn and measured: a row per 40 bytes.
function detailsHeight(i) {
  if (detailHeight[i]) return detailHeight[i];
  const bytes = D.detailEnd[i] - D.detailStart[i];
  return 12 + 21 * Math.min(400, Math.max(1, Math.round(bytes / 40)));
}

function weight(i) {
  if (!shownSelf(i)) return 0;
  return ROW + (detailsOpen(i) ? detailsHeight(i) : 0);
}

function pull(k) {
  sums[k] = covers[k] > 0 ? 0 : k >= size ? base[k - size] : sums[2 * k] + sums[2 * k + 1];
}

function cover(k, lo, hi, l, r, delta) {
  if (r <= lo || hi <= l) return;
  if (l <= lo && hi <= r) {
    covers[k] += delta;
  } else {
    const mid = (lo + hi) >> 1;
    cover(2 * k, lo, mid, l, r, delta);
    cover(2 * k + 1, mid, hi, l, r, delta);
  }
  pull(k);
}

function setLeaf(i, value) {
  base[i] = value;
  for (let k = size + i; k >= 1; k >>= 1) pull(k);
}

// After a change of node i's open state or weight: O(log n).
function refresh(i) {
  const closed = hasChildren(i) && !childrenOpen(i) ? 1 : 0;
  if (closed !== covered[i]) {
    covered[i] = closed;
    cover(1, 0, size, i + 1, D.end[i], closed ? 1 : -1);
  }
  if (base[i] !== weight(i)) setLeaf(i, weight(i));
  undraw(i);
}

function undraw(i) {
  const block = drawn.get(i);
  if (!block) return;
  block.line.remove();
  if (block.details) block.details.remove();
  drawn.delete(i);
}

// Every node afresh, after a filter or expand all: O(n), plus O(log n) for
// each closed node with children.
function rebuildHeights() {
  const n = D.n;
  if (!base) {
    while (size < n) size *= 2;
    base = new Float64Array(n);
    sums = new Float64Array(2 * size);
    covers = new Int32Array(2 * size);
    covered = new Uint8Array(n);
  }
  covers.fill(0);
  covered.fill(0);
  for (let i = 0; i < n; i++) base[i] = sums[size + i] = weight(i);
  for (let k = size - 1; k >= 1; k--) sums[k] = sums[2 * k] + sums[2 * k + 1];
  for (let i = 0; i < n; i++) {
    if (hasChildren(i) && !childrenOpen(i)) {
      covered[i] = 1;
      cover(1, 0, size, i + 1, D.end[i], 1);
    }
  }
  for (const i of [...drawn.keys()]) undraw(i);
  countSiblings();
}

const contentHeight = () => sums[1];

// The top of node i's block, or -1 when it is not shown.
function topOf(i) {
  if (!(i >= 0 && i < D.n) || base[i] === 0) return -1;
  let k = 1, lo = 0, hi = size, y = 0;
  while (k < size) {
    if (covers[k] > 0) return -1;
    const mid = (lo + hi) >> 1;
    if (i < mid) { k = 2 * k; hi = mid; } else { y += sums[2 * k]; k = 2 * k + 1; lo = mid; }
  }
  return covers[k] > 0 ? -1 : y;
}

// The node whose block holds height y, or -1 past the end.
function nodeAt(y) {
  if (y < 0 || y >= sums[1]) return -1;
  let k = 1;
  while (k < size) {
    if (y < sums[2 * k]) k = 2 * k;
    else { y -= sums[2 * k]; k = 2 * k + 1; }
  }
  return k - size;
}

function nextShown(i) { const t = topOf(i); return t < 0 ? -1 : nodeAt(t + base[i]); }
function previousShown(i) { const t = topOf(i); return t <= 0 ? -1 : nodeAt(t - 0.5); }
function lastShown() { return nodeAt(contentHeight() - 0.5); }

// The position among the shown siblings, for aria-posinset and setsize.
function countSiblings() {
  const n = D.n;
  if (!posInSet) { posInSet = new Int32Array(n); setSize = new Int32Array(n + 1); }
  setSize.fill(0);
  for (let i = 0; i < n; i++) if (shownSelf(i)) posInSet[i] = ++setSize[D.parent[i] + 1];
}

// Failed and total verdicts below each node (itself included): O(n).
function countVerdicts() {
  const n = D.n;
  failedBelow = new Int32Array(n);
  totalBelow = new Int32Array(n);
  for (let i = n - 1; i >= 0; i--) {
    if (D.flags[i] & 16) { totalBelow[i]++; if (stateOf(i) === 2) failedBelow[i]++; }
    const p = D.parent[i];
    if (p >= 0) { totalBelow[p] += totalBelow[i]; failedBelow[p] += failedBelow[i]; }
  }
}

// ---- scrolling -----------------------------------------------------------

const viewHeight = () => treeBox.clientHeight;
const scrollSpace = () => Math.min(contentHeight(), MAX_SCROLL);
function scrollScale() {
  const h = contentHeight(), s = scrollSpace(), v = viewHeight();
  return h > s && s > v ? (h - v) / (s - v) : 1;
}

// Shows the content from height y at the top of the view.
function setPos(y) {
  pos = Math.max(0, Math.min(y, contentHeight() - viewHeight()));
  spacer.style.height = scrollSpace() + "px";
  expectedScroll = Math.round(pos / scrollScale());
  treeBox.scrollTop = expectedScroll;
  if (scrollScale() === 1) pos = treeBox.scrollTop;
  draw();
}

function onScroll() {
  // A scroll the page did not make (the scroll bar, a drag): map it.
  if (Math.abs(treeBox.scrollTop - expectedScroll) > 1) {
    expectedScroll = treeBox.scrollTop;
    pos = scrollScale() === 1 ? expectedScroll : expectedScroll * scrollScale();
  }
  draw();
}

function onWheel(event) {
  if (scrollScale() === 1) return;  // the browser's own scrolling is exact
  event.preventDefault();
  const unit = event.deltaMode === 1 ? ROW : event.deltaMode === 2 ? viewHeight() : 1;
  setPos(pos + event.deltaY * unit);
}

// Scrolls as little as needed to show node i's line.
function scrollToLine(i) {
  const top = topOf(i);
  if (top < 0) return;
  if (top < pos) setPos(top);
  else if (top + ROW > pos + viewHeight()) setPos(top + ROW - viewHeight());
}

// ---- drawing -------------------------------------------------------------

function placeAll(keep) {
  const from = Math.max(0, pos - OVERSCAN), to = pos + viewHeight() + OVERSCAN;
  const scrollTop = treeBox.scrollTop;
  const fresh = [];
  for (let i = nodeAt(from); i >= 0; ) {
    const top = topOf(i);
    if (top >= to) break;
    let block = drawn.get(i);
    if (!block) {
      block = { line: treeItems.appendChild(itemElement(i)), details: null };
      if (detailsOpen(i)) {
        block.details = treeBox.appendChild(detailsElement(i));
        fresh.push(i);
      }
      drawn.set(i, block);
    }
    const y = scrollTop + (top - pos);
    block.line.style.top = y + "px";
    if (block.details) block.details.style.top = y + ROW + "px";
    keep.add(i);
    i = nodeAt(top + base[i]);
  }
  return fresh;
}

function draw() {
  if (!D) return;
  const keep = new Set();
  const fresh = placeAll(keep);
  // Measured details replace their estimates; the node at the top of the
  // view stays where it is.
  let changed = false;
  const anchor = nodeAt(pos), anchorOffset = anchor >= 0 ? pos - topOf(anchor) : 0;
  for (const i of fresh) {
    const h = drawn.get(i).details.offsetHeight;
    if (h > 0 && h !== detailHeight[i]) {
      detailHeight[i] = h;
      if (base[i] !== weight(i)) { setLeaf(i, weight(i)); changed = true; }
    }
  }
  if (changed) {
    if (anchor >= 0) pos = Math.max(0, Math.min(topOf(anchor) + anchorOffset, contentHeight() - viewHeight()));
    spacer.style.height = scrollSpace() + "px";
    expectedScroll = Math.round(pos / scrollScale());
    treeBox.scrollTop = expectedScroll;
    placeAll(keep);
  }
  for (const i of [...drawn.keys()]) if (!keep.has(i)) undraw(i);
  // The active descendant must name an element that exists.
  if (drawn.has(active)) treeItems.setAttribute("aria-activedescendant", "node-" + active);
  else treeItems.removeAttribute("aria-activedescendant");
}

// Resets every block after a change of the filter, of the search or of
// all open states; keeps node keep (or the top) in view.
function layoutAll(keep) {
  rebuildHeights();
  const top = keep >= 0 ? topOf(keep) : -1;
  setPos(top >= 0 ? top - viewHeight() / 4 : 0);
  updateStatus();
}

// ---- elements ------------------------------------------------------------

function el(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.appendChild(marked(text));
  return e;
}

const where = (file, line) => (file === null ? "" : line ? file + ":" + line : file);

function nameOf(i) {
  const t = textsOf(D, i);
  return ((D.flags[i] >> 5) & 3) === 3 ? t.title : t.name;
}

// The badge of node i as page_badges.cpp writes it: its word, then its
// strip of glyphs with the statuses in words as its label; null for none.
const STRIP_GLYPHS = ["✓", "○", "✗", "·"], STRIP_CLASSES = ["ok", "ne", "ko", "absent"];
function badgeElements(i) {
  const k = B === null || i >= B.at.length ? -1 : B.at[i];
  if (k < 0) return null;
  const fragment = document.createDocumentFragment();
  const kind = B.kind[k];
  const word = kind === 0 ? L.badgeNew : kind === 2 ? L.badgeFlaky : L.failingSince.replace("%1", () => B.since[k]);
  fragment.appendChild(el("span", "badge " + (["new", "since", "flaky"][kind] || ""), word));
  fragment.append(" ");
  const strip = fragment.appendChild(el("span", "strip"));
  const words = [];
  for (const status of B.strip[k]) {
    const s = Math.min(status, 3);
    strip.appendChild(el("span", STRIP_CLASSES[s], STRIP_GLYPHS[s]));
    words.push(s === 3 ? L.notInRun : L.states[[1, 0, 2][s]]);
  }
  strip.title = L.strip.replace("%1", B.strip[k].length).replace("%2", () => words.join(", "));
  strip.setAttribute("role", "img");
  strip.setAttribute("aria-label", strip.title);
  return fragment;
}

function lineElement(i) {
  const f = D.flags[i];
  const open = isOpen(i);
  const line = el("div", "line state-" + STATES[f & 3] + (expandable(i) ? (open ? " open" : "") : " leaf"));
  line.style.paddingLeft = 6 + 18 * Math.min(D.depth[i] - 1, 40) + "px";
  const twisty = line.appendChild(el("span", "twisty"));
  twisty.setAttribute("aria-hidden", "true");
  const glyph = line.appendChild(el("span", "glyph", GLYPHS[f & 3]));
  glyph.setAttribute("aria-hidden", "true");
  line.appendChild(el("span", "icon " + ICONS[(f >> 2) & 3])).setAttribute("aria-hidden", "true");
  const name = nameOf(i);
  const nameElement = line.appendChild(el("span", "name", name));
  nameElement.title = name;
  line.appendChild(el("span", "sr", ", " + L.states[f & 3]));
  const badge = badgeElements(i);
  if (badge) line.appendChild(badge);
  if (hasChildren(i) && totalBelow[i] > 0) {
    const counts = line.appendChild(el("span", "tally" + (failedBelow[i] ? " some-failed" : "")));
    counts.textContent = failedBelow[i] + " / " + totalBelow[i];
    counts.title = L.tally.replace("%1", failedBelow[i]).replace("%2", totalBelow[i]);
    counts.setAttribute("aria-label", counts.title);
  }
  line.appendChild(el("span", "type", D.strings[D.types[i]]));
  if (f & 128) line.appendChild(el("span", "location", where(D.strings[D.files[i]], D.lines[i])));
  const anchor = el("a", "anchor", "#");
  anchor.href = "#n" + i;
  anchor.title = L.link;
  anchor.setAttribute("aria-label", L.link);
  anchor.tabIndex = -1;
  line.appendChild(anchor);
  return line;
}

// Node i's line as an item of the tree.
function itemElement(i) {
  const line = lineElement(i);
  line.id = "node-" + i;
  line.dataset.node = i;
  line.setAttribute("role", "treeitem");
  line.setAttribute("aria-level", D.depth[i]);
  line.setAttribute("aria-setsize", setSize[D.parent[i] + 1]);
  line.setAttribute("aria-posinset", posInSet[i]);
  line.setAttribute("aria-selected", i === active ? "true" : "false");
  if (expandable(i)) line.setAttribute("aria-expanded", isOpen(i) ? "true" : "false");
  if (i === active) line.classList.add("active");
  return line;
}

function detailsElement(i) {
  const box = el("div", "details");
  box.dataset.node = i;
  box.style.paddingLeft = 24 + 18 * Math.min(D.depth[i] - 1, 40) + "px";
  const items = detailsOf(D, i);
  let columns = 1;
  for (const item of items) if (item.cells && item.row !== ROLE_TRACE && item.row !== ROLE_NOTE) columns = Math.max(columns, item.cells.length);
  let table = null, body = null, headed = false;
  for (const item of items) {
    if (item.title !== undefined) {
      table = null;
      const heading = el("div", "heading", item.title);
      if (item.file !== null) heading.appendChild(el("span", "location", " " + where(item.file, item.line)));
      box.appendChild(heading);
      continue;
    }
    if (!table) {
      table = box.appendChild(el("table"));
      body = table.appendChild(el("tbody"));
      headed = false;
    }
    const cells = item.cells;
    if (item.row === ROLE_HEADER) {
      if (headed) continue;
      headed = true;
      const tr = el("tr");
      for (const c of cells) tr.appendChild(el("th", "", c.text)).scope = "col";
      table.insertBefore(el("thead"), body).appendChild(tr);
      continue;
    }
    const tr = el("tr");
    if (item.row === ROLE_TRACE || item.row === ROLE_NOTE) {
      tr.className = item.row === ROLE_TRACE ? "trace" : "note";
      const td = el("td");
      td.colSpan = columns;
      if (item.row === ROLE_TRACE) {
        td.appendChild(marked("↳ " + cells.map((c) => c.text).join(" ")));
        const link = cells.find((c) => c.file !== null);
        if (link) td.appendChild(el("span", "location", "  " + where(link.file, link.line)));
      } else {
        td.appendChild(el("pre", "", cells.length > 1 ? cells[cells.length - 1].text : ""));
      }
      tr.appendChild(td);
    } else {
      const style = cells.length ? STYLES[cells[0].style] : "";
      if (style === "failed" || style === "passed") tr.className = style;
      cells.forEach((c, k) => {
        const td = el("td", "");
        if (k === 0 && (style === "failed" || style === "passed")) {
          td.appendChild(el("span", "glyph", style === "failed" ? GLYPHS[2] : GLYPHS[1])).setAttribute("aria-hidden", "true");
        }
        td.appendChild(marked(c.text));
        if (c.file !== null) td.appendChild(el("span", "location", " " + where(c.file, c.line)));
        tr.appendChild(td);
      });
    }
    body.appendChild(tr);
  }
  return box;
}

// ---- actions -------------------------------------------------------------

function toggle(i, open) {
  if (!expandable(i)) return;
  expanded[i] = open === undefined ? 1 - expanded[i] : open ? 1 : 0;
  refresh(i);
  setPos(pos);
}

function setActive(i, scroll) {
  const old = drawn.get(active);
  if (old) { old.line.classList.remove("active"); old.line.setAttribute("aria-selected", "false"); }
  active = i;
  if (scroll) scrollToLine(i);
  const now = drawn.get(i);
  if (now) { now.line.classList.add("active"); now.line.setAttribute("aria-selected", "true"); }
  draw();
}

// Opens the page at node i: its ancestors and itself open, in view.
function reveal(i) {
  if (!(i >= 0 && i < D.n)) return;
  if (!shownSelf(i)) clearFilters();
  for (let p = D.parent[i]; p >= 0; p = D.parent[p]) {
    if (!childrenOpen(p)) { expanded[p] = 1; refresh(p); }
  }
  if (!isOpen(i) && expandable(i)) { expanded[i] = 1; refresh(i); }
  setPos(topOf(i) - viewHeight() / 4);
  setActive(i, false);
  const block = drawn.get(i);
  if (block) block.line.classList.add("target");
  treeItems.focus({ preventScroll: true });
  // The tree box itself in the window's view.
  const box = treeBox.getBoundingClientRect();
  if (box.top < 0 || box.bottom > window.innerHeight) treeBox.scrollIntoView({ block: "start" });
}

function expandAll(open) {
  expanded.fill(open ? 1 : 0);
  layoutAll(-1);
}
