// Search and the status filters. One search is one pass of a regular
// expression over the page's searchable text (names, titles, locations,
// expressions, trace lines and notes, see page_data.h) with a cursor over
// its parts, so a keystroke costs time linear in that text.

const searchBox = document.getElementById("search");
const failuresOnly = document.getElementById("failures-only");
const notExecutedOnly = document.getElementById("not-executed-only");
const statusLine = document.getElementById("status");

let query = "";
let matched = null;       // per node: 1 by its line, 2 by its details; null without a query
let matches = new Int32Array(0);  // the matching nodes in order
let current = -1;         // index into matches of the one shown last
let parts = null;         // where each part of the text starts, and its kind

// The parts of the text, once: their starts and kinds.
function splitParts() {
  const texts = D.texts;
  const starts = [], kinds = [];
  const marks = /[\x01-\x05]/g;
  for (let m = marks.exec(texts); m; m = marks.exec(texts)) {
    starts.push(m.index);
    kinds.push(texts.charCodeAt(m.index));
  }
  parts = { start: Int32Array.from(starts), kind: Uint8Array.from(kinds) };
}

function findMatches() {
  matched = null;
  matches = new Int32Array(0);
  current = -1;
  if (!query) return;
  if (!parts) splitParts();
  matched = new Uint8Array(D.n);
  const found = [];
  const pattern = new RegExp(query.replace(/[.*+?^${}()|[\]\\]/g, "\\$&"), "gi");
  const texts = D.texts, starts = parts.start, kinds = parts.kind;
  let node = -1, part = 0;
  for (let m = pattern.exec(texts); m; m = pattern.exec(texts)) {
    while (part + 1 < starts.length && starts[part + 1] <= m.index) part++;
    while (node + 1 < D.n && D.textStart[node + 1] <= m.index) node++;
    const kind = kinds[part];
    if (!matched[node]) found.push(node);
    // The query holds no mark, so a match lies within one part.
    matched[node] |= kind === TEXT_CELL || kind === TEXT_CELL_LOCATION ? 2 : 1;
  }
  matches = Int32Array.from(found);
}

// The filter from the search and the status boxes: O(n).
function computeFilter() {
  const byState = failuresOnly.checked || notExecutedOnly.checked;
  if (!matched && !byState) { filter = null; return; }
  const n = D.n;
  filter = new Uint8Array(n);
  for (let i = n - 1; i >= 0; i--) {
    let self = matched ? matched[i] : 1;
    if (self && byState) {
      const s = stateOf(i);
      const wanted = (failuresOnly.checked && s === 2) || (notExecutedOnly.checked && s === 0 && (D.flags[i] & 16));
      if (!wanted) self = 0;
    }
    filter[i] |= self;
    const p = D.parent[i];
    if (filter[i] && p >= 0) filter[p] |= 4;
  }
}

function clearFilters() {
  searchBox.value = "";
  failuresOnly.checked = notExecutedOnly.checked = false;
  query = "";
  findMatches();
  computeFilter();
  layoutAll(-1);
}

// The query as typed, without the text's marks (a match never spans parts).
const typedQuery = () => searchBox.value.replace(/[\x01-\x05]/g, "").trim().toLowerCase();

function applyFilters() {
  query = typedQuery();
  findMatches();
  computeFilter();
  layoutAll(-1);
}

// Enter and Shift+Enter: the next or previous match, shown and counted.
function stepMatch(delta) {
  if (!matches.length) return;
  const shown = [];
  for (const i of matches) if (filter && filter[i] & 3) shown.push(i);
  if (!shown.length) return;
  current = (current + delta + shown.length) % shown.length;
  const i = shown[current];
  setPos(topOf(i) - viewHeight() / 4);
  setActive(i, false);
  statusLine.textContent = L.matchOf.replace("%1", current + 1).replace("%2", shown.length);
}

function updateStatus() {
  let text = L.nodes.replace("%1", D.n);
  if (matched) {
    let count = 0;
    for (const i of matches) if (filter[i] & 3) count++;
    text = L.matches.replace("%1", count);
  } else if (filter) {
    let count = 0;
    for (let i = 0; i < D.n; i++) if (filter[i] & 1) count++;
    text = L.shown.replace("%1", count);
  }
  statusLine.textContent = text;
}

// Text with the search matches in <mark>; always text nodes.
function marked(text) {
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
