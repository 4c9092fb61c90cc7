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

import { textsOf, detailsOf } from "./decode.js";

export const ROW = 26;       // height of a node line, as in the style sheet
const OVERSCAN = 400;        // pixels drawn beyond the view
const MAX_SCROLL = 8000000;  // under every browser's element height limit
const STATES = ["ne", "ok", "ko"];
const ICONS = ["none", "method", "class", "testscript"];
const STYLES = ["", "title", "plain", "failed", "passed"];
const GLYPHS = ["○", "✓", "✗"];
const ROLE_HEADER = 1, ROLE_TRACE = 3, ROLE_NOTE = 4;

// The page's labels in the report reader's language, written by the page
// writer as JSON (with "<" escaped, so the block cannot end early).
export const L = JSON.parse(document.getElementById("data-labels").textContent);

// The scroll box holds the tree's items (one line a node) and, beside the
// tree rather than in it, the details of the open nodes: a tree item holds
// its own line only, so its name is what it shows. The toolbar above it
// sticks to the window's top.
export const treeBox = document.getElementById("tree");
export const treeItems = document.getElementById("tree-items");
const spacer = treeBox.querySelector(".spacer");
const toolbar = document.querySelector("#objects .controls");

// The view's whole state, which the other parts read and change.
export const view = {
  data: null,          // the decoded data (decode.js)
  badges: null,        // the decoded badges, with a run history only
  filter: null,        // per node: 1 selected, 2 by its details, 4 holds a selected node; null: all shown
  query: "",           // the search, marked in the texts shown
  expanded: null,      // per node, 1: children and details shown
  detailHeight: null,  // per node, the measured height of its details, 0 when not yet
  failedBelow: null,   // per node, the failed verdicts in its subtree
  totalBelow: null,    // per node, the verdicts in its subtree
  posInSet: null,      // per node, its place among the shown siblings
  setSize: null,       // per parent (at its number + 1), its shown children
  active: -1,          // the selected node
  pos: 0,              // the content's offset at the top of the view
  scale: 1,            // content pixels to a pixel of the scroll bar
  expectedScroll: 0,   // the scrollTop that pos was last mapped to
  drawn: new Map(),    // node -> {line, details (or null)}
  // The heights: a segment tree of size leaves over the nodes' weights in
  // base, with sums in sums and, where a closed node covers a range of its
  // descendants, covers[k] > 0; covered per node, 1: its range is covered.
  size: 1,
  base: null,
  sums: null,
  covers: null,
  covered: null,
};

// ---- heights -------------------------------------------------------------

export const stateOf = (i) => view.data.flags[i] & 3;
export const hasChildren = (i) => view.data.end[i] > i + 1;
export const hasDetails = (i) => view.data.detailEnd[i] > view.data.detailStart[i];
export const expandable = (i) => hasChildren(i) || hasDetails(i);
export const shownSelf = (i) => view.filter === null || view.filter[i] !== 0;
const childrenOpen = (i) => view.expanded[i] === 1 || (view.filter !== null && (view.filter[i] & 6) !== 0);
const detailsOpen = (i) => hasDetails(i) && (view.expanded[i] === 1 || (view.filter !== null && (view.filter[i] & 2) !== 0));
export const isOpen = (i) => (hasChildren(i) && childrenOpen(i)) || detailsOpen(i);

// An estimate until the details are drawn and measured: a row per 40 bytes.
function detailsHeight(i) {
  if (view.detailHeight[i]) return view.detailHeight[i];
  const bytes = view.data.detailEnd[i] - view.data.detailStart[i];
  return 12 + 21 * Math.min(400, Math.max(1, Math.round(bytes / 40)));
}

function weight(i) {
  if (!shownSelf(i)) return 0;
  return ROW + (detailsOpen(i) ? detailsHeight(i) : 0);
}

function pull(k) {
  const { size, sums, covers } = view;
  sums[k] = covers[k] > 0 ? 0 : k >= size ? view.base[k - size] : sums[2 * k] + sums[2 * k + 1];
}

function cover(k, lo, hi, l, r, delta) {
  if (r <= lo || hi <= l) return;
  if (l <= lo && hi <= r) {
    view.covers[k] += delta;
  } else {
    const mid = (lo + hi) >> 1;
    cover(2 * k, lo, mid, l, r, delta);
    cover(2 * k + 1, mid, hi, l, r, delta);
  }
  pull(k);
}

function setLeaf(i, value) {
  view.base[i] = value;
  for (let k = view.size + i; k >= 1; k >>= 1) pull(k);
}

// After a change of node i's open state or weight: O(log n).
function refresh(i) {
  const closed = hasChildren(i) && !childrenOpen(i) ? 1 : 0;
  if (closed !== view.covered[i]) {
    view.covered[i] = closed;
    cover(1, 0, view.size, i + 1, view.data.end[i], closed ? 1 : -1);
  }
  if (view.base[i] !== weight(i)) setLeaf(i, weight(i));
  undraw(i);
}

function undraw(i) {
  const block = view.drawn.get(i);
  if (!block) return;
  block.line.remove();
  if (block.details) block.details.remove();
  view.drawn.delete(i);
}

// Every node afresh, after a filter or expand all: O(n), plus O(log n) for
// each closed node with children.
function rebuildHeights() {
  const { size, base, sums, covers, covered } = view;
  const n = view.data.n, end = view.data.end;
  covers.fill(0);
  covered.fill(0);
  for (let i = 0; i < n; i++) base[i] = sums[size + i] = weight(i);
  for (let k = size - 1; k >= 1; k--) sums[k] = sums[2 * k] + sums[2 * k + 1];
  for (let i = 0; i < n; i++) {
    if (hasChildren(i) && !childrenOpen(i)) {
      covered[i] = 1;
      cover(1, 0, size, i + 1, end[i], 1);
    }
  }
  for (const i of [...view.drawn.keys()]) undraw(i);
  countSiblings();
}

export const contentHeight = () => view.sums[1];

// The top of node i's block, or -1 when it is not shown.
export function topOf(i) {
  const { size, sums, covers } = view;
  if (!(i >= 0 && i < view.data.n) || view.base[i] === 0) return -1;
  let k = 1, lo = 0, hi = size, y = 0;
  while (k < size) {
    if (covers[k] > 0) return -1;
    const mid = (lo + hi) >> 1;
    if (i < mid) { k = 2 * k; hi = mid; } else { y += sums[2 * k]; k = 2 * k + 1; lo = mid; }
  }
  return covers[k] > 0 ? -1 : y;
}

// The node whose block holds height y, or -1 past the end.
export function nodeAt(y) {
  const { size, sums } = view;
  if (y < 0 || y >= sums[1]) return -1;
  let k = 1;
  while (k < size) {
    if (y < sums[2 * k]) k = 2 * k;
    else { y -= sums[2 * k]; k = 2 * k + 1; }
  }
  return k - size;
}

export function nextShown(i) { const t = topOf(i); return t < 0 ? -1 : nodeAt(t + view.base[i]); }
export function previousShown(i) { const t = topOf(i); return t <= 0 ? -1 : nodeAt(t - 0.5); }
export function lastShown() { return nodeAt(contentHeight() - 0.5); }

// The position among the shown siblings, for aria-posinset and setsize.
function countSiblings() {
  const { posInSet, setSize } = view;
  const n = view.data.n, parent = view.data.parent;
  setSize.fill(0);
  for (let i = 0; i < n; i++) if (shownSelf(i)) posInSet[i] = ++setSize[parent[i] + 1];
}

// Failed and total verdicts below each node (itself included): O(n).
function countVerdicts() {
  const d = view.data, n = d.n;
  const failedBelow = (view.failedBelow = new Int32Array(n));
  const totalBelow = (view.totalBelow = new Int32Array(n));
  for (let i = n - 1; i >= 0; i--) {
    if (d.flags[i] & 16) { totalBelow[i]++; if (stateOf(i) === 2) failedBelow[i]++; }
    const p = d.parent[i];
    if (p >= 0) { totalBelow[p] += totalBelow[i]; failedBelow[p] += failedBelow[i]; }
  }
}

// ---- scrolling -----------------------------------------------------------

export const viewHeight = () => treeBox.clientHeight;

// Maps pos onto the scroll bar: the scroll space is the content's height up
// to MAX_SCROLL, beyond it the content scaled.
function mapScroll() {
  const h = contentHeight(), space = Math.min(h, MAX_SCROLL), v = viewHeight();
  view.scale = h > space && space > v ? (h - v) / (space - v) : 1;
  spacer.style.height = space + "px";
  view.expectedScroll = Math.round(view.pos / view.scale);
  treeBox.scrollTop = view.expectedScroll;
}

// Shows the content from height y at the top of the view.
export function setPos(y) {
  view.pos = Math.max(0, Math.min(y, contentHeight() - viewHeight()));
  mapScroll();
  if (view.scale === 1) view.pos = treeBox.scrollTop;
  draw();
}

function onScroll() {
  // A scroll the page did not make (the scroll bar, a drag): map it.
  if (Math.abs(treeBox.scrollTop - view.expectedScroll) > 1) {
    view.expectedScroll = treeBox.scrollTop;
    view.pos = view.expectedScroll * view.scale;
  }
  draw();
}

function onWheel(event) {
  if (view.scale === 1) return;  // the browser's own scrolling is exact
  event.preventDefault();
  const unit = event.deltaMode === 1 ? ROW : event.deltaMode === 2 ? viewHeight() : 1;
  setPos(view.pos + event.deltaY * unit);
}

// Scrolls the tree box as little as needed to show node i's line.
function scrollToLine(i) {
  const top = topOf(i);
  if (top < 0) return;
  if (top < view.pos) setPos(top);
  else if (top + ROW > view.pos + viewHeight()) setPos(top + ROW - viewHeight());
}

// Scrolls the window as little as needed to show node i's line, below the
// toolbar: the tree box may reach past the window, or lie under the toolbar.
function lineIntoWindow(i) {
  const block = view.drawn.get(i);
  if (!block) return;
  const line = block.line.getBoundingClientRect();
  const top = Math.max(0, toolbar.getBoundingClientRect().bottom);
  if (line.bottom > window.innerHeight) window.scrollBy(0, line.bottom - window.innerHeight);
  else if (line.top < top) window.scrollBy(0, line.top - top);
}

// ---- drawing -------------------------------------------------------------

function placeAll(keep) {
  const from = Math.max(0, view.pos - OVERSCAN), to = view.pos + viewHeight() + OVERSCAN;
  const scrollTop = treeBox.scrollTop;
  const fresh = [];
  for (let i = nodeAt(from); i >= 0; ) {
    const top = topOf(i);
    if (top >= to) break;
    let block = view.drawn.get(i);
    if (!block) {
      block = { line: treeItems.appendChild(itemElement(i)), details: null };
      if (detailsOpen(i)) {
        block.details = treeBox.appendChild(detailsElement(i));
        fresh.push(i);
      }
      view.drawn.set(i, block);
    }
    const y = scrollTop + (top - view.pos);
    block.line.style.top = y + "px";
    if (block.details) block.details.style.top = y + ROW + "px";
    keep.add(i);
    i = nodeAt(top + view.base[i]);
  }
  return fresh;
}

function draw() {
  const keep = new Set();
  const fresh = placeAll(keep);
  // Measured details replace their estimates; the node at the top of the
  // view stays where it is.
  let changed = false;
  const anchor = nodeAt(view.pos), anchorOffset = anchor >= 0 ? view.pos - topOf(anchor) : 0;
  for (const i of fresh) {
    const h = view.drawn.get(i).details.offsetHeight;
    if (h > 0 && h !== view.detailHeight[i]) {
      view.detailHeight[i] = h;
      if (view.base[i] !== weight(i)) { setLeaf(i, weight(i)); changed = true; }
    }
  }
  if (changed) {
    if (anchor >= 0) view.pos = Math.max(0, Math.min(topOf(anchor) + anchorOffset, contentHeight() - viewHeight()));
    mapScroll();
    placeAll(keep);
  }
  for (const i of [...view.drawn.keys()]) if (!keep.has(i)) undraw(i);
  // The active descendant must name an element that exists.
  if (view.drawn.has(view.active)) treeItems.setAttribute("aria-activedescendant", "node-" + view.active);
  else treeItems.removeAttribute("aria-activedescendant");
}

// Resets every block after a change of the filter, of the search or of
// all open states; keeps node keep (or the top) in view.
export function layoutAll(keep) {
  rebuildHeights();
  const top = keep >= 0 ? topOf(keep) : -1;
  setPos(top >= 0 ? top - viewHeight() / 4 : 0);
}

// ---- elements ------------------------------------------------------------

export function el(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.appendChild(marked(text));
  return e;
}

// Text with the search's matches in <mark>; always text nodes.
function marked(text) {
  const query = view.query;
  if (!query) return document.createTextNode(text);
  const fragment = document.createDocumentFragment();
  const lower = text.toLowerCase();
  let from = 0;
  for (let at = lower.indexOf(query); at >= 0; at = lower.indexOf(query, from)) {
    fragment.appendChild(document.createTextNode(text.slice(from, at)));
    const m = document.createElement("mark");
    m.textContent = text.slice(at, at + query.length);
    fragment.appendChild(m);
    from = at + query.length;
  }
  fragment.appendChild(document.createTextNode(text.slice(from)));
  return fragment;
}

const where = (file, line) => (file === null ? "" : line ? file + ":" + line : file);

function nameOf(i) {
  const t = textsOf(view.data, i);
  return ((view.data.flags[i] >> 5) & 3) === 3 ? t.title : t.name;
}

// The badge of node i as page_badges.cpp writes it: its word, then its
// strip of glyphs with the statuses in words as its label; null for none.
const STRIP_GLYPHS = ["✓", "○", "✗", "·"], STRIP_CLASSES = ["ok", "ne", "ko", "absent"];
export function badgeElements(i) {
  const b = view.badges;
  const k = b === null || i >= b.at.length ? -1 : b.at[i];
  if (k < 0) return null;
  const fragment = document.createDocumentFragment();
  const kind = b.kind[k];
  const kindWords = [L.badgeNew, null, L.badgeFlaky, L.badgeQuarantined];
  const word = kind === 1 ? L.failingSince.replace("%1", () => b.since[k]) : kindWords[kind] || "";
  fragment.appendChild(el("span", "badge " + (["new", "since", "flaky", "quarantined"][kind] || ""), word));
  fragment.append(" ");
  const strip = fragment.appendChild(el("span", "strip"));
  const words = [];
  for (const status of b.strip[k]) {
    const s = Math.min(status, 3);
    strip.appendChild(el("span", STRIP_CLASSES[s], STRIP_GLYPHS[s]));
    words.push(s === 3 ? L.notInRun : L.states[[1, 0, 2][s]]);
  }
  strip.title = L.strip.replace("%1", b.strip[k].length).replace("%2", () => words.join(", "));
  strip.setAttribute("role", "img");
  strip.setAttribute("aria-label", strip.title);
  return fragment;
}

export function lineElement(i) {
  const d = view.data, f = d.flags[i];
  const open = isOpen(i);
  const line = el("div", "line state-" + STATES[f & 3] + (expandable(i) ? (open ? " open" : "") : " leaf"));
  line.style.paddingLeft = 6 + 18 * Math.min(d.depth[i] - 1, 40) + "px";
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
  const failed = view.failedBelow[i], total = view.totalBelow[i];
  if (hasChildren(i) && total > 0) {
    const counts = line.appendChild(el("span", "tally" + (failed ? " some-failed" : "")));
    counts.textContent = failed + " / " + total;
    counts.title = L.tally.replace("%1", failed).replace("%2", total);
    counts.setAttribute("aria-label", counts.title);
  }
  line.appendChild(el("span", "type", d.strings[d.types[i]]));
  if (f & 128) line.appendChild(el("span", "location", where(d.strings[d.files[i]], d.lines[i])));
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
  line.setAttribute("aria-level", view.data.depth[i]);
  line.setAttribute("aria-setsize", view.setSize[view.data.parent[i] + 1]);
  line.setAttribute("aria-posinset", view.posInSet[i]);
  line.setAttribute("aria-selected", i === view.active ? "true" : "false");
  if (expandable(i)) line.setAttribute("aria-expanded", isOpen(i) ? "true" : "false");
  if (i === view.active) line.classList.add("active");
  return line;
}

export function detailsElement(i) {
  const box = el("div", "details");
  box.dataset.node = i;
  box.style.paddingLeft = 24 + 18 * Math.min(view.data.depth[i] - 1, 40) + "px";
  const items = detailsOf(view.data, i);
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

export function toggle(i, open) {
  if (!expandable(i)) return;
  view.expanded[i] = open === undefined ? 1 - view.expanded[i] : open ? 1 : 0;
  refresh(i);
  setPos(view.pos);
}

// Selects node i; with scroll, shows its line in the tree box and in the
// window.
export function setActive(i, scroll) {
  const old = view.drawn.get(view.active);
  if (old) { old.line.classList.remove("active"); old.line.setAttribute("aria-selected", "false"); }
  view.active = i;
  if (scroll) scrollToLine(i);
  const now = view.drawn.get(i);
  if (now) { now.line.classList.add("active"); now.line.setAttribute("aria-selected", "true"); }
  draw();
  if (scroll) lineIntoWindow(i);
}

// Opens the page at node i, which the filter shows: its ancestors and
// itself open, a quarter down the tree box, with the toolbar and as much of
// the tree box as fits in the window.
export function reveal(i) {
  if (!(i >= 0 && i < view.data.n)) return;
  for (let p = view.data.parent[i]; p >= 0; p = view.data.parent[p]) {
    if (!childrenOpen(p)) { view.expanded[p] = 1; refresh(p); }
  }
  if (!isOpen(i) && expandable(i)) { view.expanded[i] = 1; refresh(i); }
  setPos(topOf(i) - viewHeight() / 4);
  const box = treeBox.getBoundingClientRect(), above = toolbar.offsetHeight;
  if (box.top < above || box.bottom > window.innerHeight) window.scrollBy(0, box.top - above);
  setActive(i, true);
  const block = view.drawn.get(i);
  if (block) block.line.classList.add("target");
  treeItems.focus({ preventScroll: true });
}

function expandAll(open) {
  view.expanded.fill(open ? 1 : 0);
  layoutAll(-1);
}

// The tree of the decoded data and badges: open down to the drivers, its
// events wired, drawn.
export function openTree(data, badges) {
  const n = data.n;
  let size = 1;
  while (size < n) size *= 2;
  Object.assign(view, {
    data,
    badges,
    expanded: new Uint8Array(n),
    detailHeight: new Float32Array(n),
    posInSet: new Int32Array(n),
    setSize: new Int32Array(n + 1),
    size,
    base: new Float64Array(n),
    sums: new Float64Array(2 * size),
    covers: new Int32Array(2 * size),
    covered: new Uint8Array(n),
  });
  countVerdicts();
  // Open down to the drivers: the top nodes show their children.
  for (let i = 0; i < n; i = data.end[i]) view.expanded[i] = 1;
  treeBox.addEventListener("scroll", () => requestAnimationFrame(onScroll), { passive: true });
  treeBox.addEventListener("wheel", onWheel, { passive: false });
  window.addEventListener("resize", () => requestAnimationFrame(() => setPos(view.pos)));
  treeItems.addEventListener("click", (event) => {
    const line = event.target.closest(".line");
    if (!line || event.target.closest("a")) return;
    const i = Number(line.dataset.node);
    treeItems.focus({ preventScroll: true });
    setActive(i, false);
    toggle(i);
  });
  document.getElementById("expand-all").addEventListener("click", () => expandAll(true));
  document.getElementById("collapse-all").addEventListener("click", () => expandAll(false));
  layoutAll(-1);
}
