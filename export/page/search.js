// Search and the status filters. One search is one pass of a regular
// expression over the page's searchable text (names, titles, expressions,
// trace lines and notes, see page_data.h), looking at every character once
// at most, and one pass over the nodes' links: a keystroke costs time
// linear in the text and the nodes.

import { TEXT_CELL } from "./decode.js";
import { view, L, stateOf, shownSelf, layoutAll, setPos, topOf, viewHeight, setActive, reveal } from "./tree.js";

export const searchBox = document.getElementById("search");
const failuresOnly = document.getElementById("failures-only");
const notExecutedOnly = document.getElementById("not-executed-only");
const statusLine = document.getElementById("status");

// The search's state beside the view's query and filter.
const search = {
  matched: null,                // per node: 1 by its line, 2 by its details; null without a query
  matches: new Int32Array(0),   // the matching nodes in order
  current: -1,                  // index into matches of the one shown last
  lowerFiles: null,             // the file names in lower case, once a query needs them
  timer: 0,                     // the search due after typing
};

function findMatches() {
  const d = view.data, query = view.query;
  search.matched = null;
  search.matches = new Int32Array(0);
  search.current = -1;
  if (!query) return;
  const matched = (search.matched = new Uint8Array(d.n));
  const pattern = new RegExp(query.replace(/[.*+?^${}()|[\]\\]/g, "\\$&"), "gi");
  const mark = /[\x01-\x03]/g;
  const texts = d.texts;
  let node = -1;
  for (let m = pattern.exec(texts); m; m = pattern.exec(texts)) {
    while (node + 1 < d.n && d.textStart[node + 1] <= m.index) node++;
    // The part that holds the match (the query holds no mark): back to its
    // mark for its kind, then on after its end, so that every character is
    // looked at once at most.
    let at = m.index;
    while (texts.charCodeAt(at) > 3) at--;
    matched[node] |= texts.charCodeAt(at) === TEXT_CELL ? 2 : 1;
    mark.lastIndex = pattern.lastIndex;
    pattern.lastIndex = mark.exec(texts) ? mark.lastIndex - 1 : texts.length;
  }
  matchLocations();
  const found = [];
  for (let i = 0; i < d.n; i++) if (matched[i]) found.push(i);
  search.matches = Int32Array.from(found);
}

// "file:line" of the linked nodes, from their columns: the query is in the
// file, or it is the file's end, a colon and the start of the line. O(n),
// with the files (a few hundred strings) looked at once each.
function matchLocations() {
  const d = view.data, query = view.query, matched = search.matched;
  if (!search.lowerFiles) search.lowerFiles = d.strings.map((s) => s.toLowerCase());
  const lowerFiles = search.lowerFiles;
  const colon = query.lastIndexOf(":");
  const fileEnd = colon >= 0 ? query.slice(0, colon) : null, lineStart = colon >= 0 ? query.slice(colon + 1) : null;
  const spans = lineStart !== null && /^\d*$/.test(lineStart);
  const digits = /^\d+$/.test(query);
  const inFile = new Int8Array(lowerFiles.length).fill(-1);  // -1 unknown, 0 no, 1 the query is in it, 2 it ends with fileEnd
  for (let i = 0; i < d.n; i++) {
    if (!(d.flags[i] & 128)) continue;
    const f = d.files[i];
    if (inFile[f] < 0) inFile[f] = lowerFiles[f].includes(query) ? 1 : spans && lowerFiles[f].endsWith(fileEnd) ? 2 : 0;
    const found = inFile[f] === 1 || (inFile[f] === 2 && String(d.lines[i]).startsWith(lineStart)) ||
                  (digits && String(d.lines[i]).includes(query));
    if (found) matched[i] |= 1;
  }
}

// The filter from the search and the status boxes: O(n).
function computeFilter() {
  const d = view.data, matched = search.matched;
  const byState = failuresOnly.checked || notExecutedOnly.checked;
  if (!matched && !byState) { view.filter = null; return; }
  const n = d.n;
  const filter = (view.filter = new Uint8Array(n));
  for (let i = n - 1; i >= 0; i--) {
    let self = matched ? matched[i] : 1;
    if (self && byState) {
      const s = stateOf(i);
      const wanted = (failuresOnly.checked && s === 2) || (notExecutedOnly.checked && s === 0 && (d.flags[i] & 16));
      if (!wanted) self = 0;
    }
    filter[i] |= self;
    const p = d.parent[i];
    if (filter[i] && p >= 0) filter[p] |= 4;
  }
}

// The search and the filters afresh, from the query in view.query and the
// status boxes.
function filterAll() {
  findMatches();
  computeFilter();
  layoutAll(-1);
  updateStatus();
}

function clearFilters() {
  searchBox.value = "";
  failuresOnly.checked = notExecutedOnly.checked = false;
  view.query = "";
  filterAll();
}

// The query as typed, without the text's marks (a match never spans parts).
export const typedQuery = () => searchBox.value.replace(/[\x01-\x03]/g, "").trim().toLowerCase();

export function applyFilters() {
  clearTimeout(search.timer);
  view.query = typedQuery();
  filterAll();
}

// Enter and Shift+Enter: the next or previous match, shown and counted.
export function stepMatch(delta) {
  const filter = view.filter;
  if (!search.matches.length) return;
  const shown = [];
  for (const i of search.matches) if (filter && filter[i] & 3) shown.push(i);
  if (!shown.length) return;
  search.current = (search.current + delta + shown.length) % shown.length;
  const i = shown[search.current];
  setPos(topOf(i) - viewHeight() / 4);
  setActive(i, true);
  statusLine.textContent = L.matchOf.replace("%1", search.current + 1).replace("%2", shown.length);
}

function updateStatus() {
  const n = view.data.n, filter = view.filter;
  let text = L.nodes.replace("%1", n);
  if (search.matched) {
    let count = 0;
    for (const i of search.matches) if (filter[i] & 3) count++;
    text = L.matches.replace("%1", count);
  } else if (filter) {
    let count = 0;
    for (let i = 0; i < n; i++) if (filter[i] & 1) count++;
    text = L.shown.replace("%1", count);
  }
  statusLine.textContent = text;
}

// The node that the page's address names (#n<node>) revealed, with the
// filters cleared first when they hide it.
export function followHash() {
  const m = /^#n(\d+)$/.exec(window.location.hash);
  if (!m) return;
  const i = Number(m[1]);
  if (!shownSelf(i)) clearFilters();
  reveal(i);
}

// The search as typed, after a pause that grows with the tree; the status
// boxes at once.
export function startSearch() {
  searchBox.addEventListener("input", () => {
    clearTimeout(search.timer);
    search.timer = setTimeout(applyFilters, view.data.n > 50000 ? 200 : 60);
  });
  failuresOnly.addEventListener("change", applyFilters);
  notExecutedOnly.addEventListener("change", applyFilters);
  updateStatus();
}
