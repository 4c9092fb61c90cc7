// Search and the status filters. One search is one pass of a regular
// expression over the page's searchable text (names, titles, expressions,
// trace lines and notes, see page_data.h), looking at every character once
// at most, and one pass over the nodes' links: a keystroke costs time
// linear in the text and the nodes.

const searchBox = document.getElementById("search");
const failuresOnly = document.getElementById("failures-only");
const notExecutedOnly = document.getElementById("not-executed-only");
const statusLine = document.getElementById("status");

let query = "";
let matched = null;       // per node: 1 by its line, 2 by its details; null without a query
let matches = new Int32Array(0);  // the matching nodes in order
let current = -1;         // index into matches of the one shown last

function findMatches() {
  matched = null;
  matches = new Int32Array(0);
  current = -1;
  if (!query) return;
  matched = new Uint8Array(D.n);
  const pattern = new RegExp(query.replace(/[.*+?^${}()|[\]\\]/g, "\\$&"), "gi");
  const mark = /[\x01-\x03]/g;
  const texts = D.texts;
  let node = -1;
  for (let m = pattern.exec(texts); m; m = pattern.exec(texts)) {
    while (node + 1 < D.n && D.textStart[node + 1] <= m.index) node++;
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
  for (let i = 0; i < D.n; i++) if (matched[i]) found.push(i);
  matches = Int32Array.from(found);
}

// "file:line" of the linked nodes, from their columns: the query is in the
// file, or it is the file's end, a colon and the start of the line. O(n),
// with the files (a few hundred strings) looked at once each.
let lowerFiles = null;
function matchLocations() {
  if (!lowerFiles) lowerFiles = D.strings.map((s) => s.toLowerCase());
  const colon = query.lastIndexOf(":");
  const fileEnd = colon >= 0 ? query.slice(0, colon) : null, lineStart = colon >= 0 ? query.slice(colon + 1) : null;
  const spans = lineStart !== null && /^\d*$/.test(lineStart);
  const digits = /^\d+$/.test(query);
  const inFile = new Int8Array(lowerFiles.length).fill(-1);  // -1 unknown, 0 no, 1 the query is in it, 2 it ends with fileEnd
  for (let i = 0; i < D.n; i++) {
    if (!(D.flags[i] & 128)) continue;
    const f = D.files[i];
    if (inFile[f] < 0) inFile[f] = lowerFiles[f].includes(query) ? 1 : spans && lowerFiles[f].endsWith(fileEnd) ? 2 : 0;
    const found = inFile[f] === 1 || (inFile[f] === 2 && String(D.lines[i]).startsWith(lineStart)) ||
                  (digits && String(D.lines[i]).includes(query));
    if (found) matched[i] |= 1;
  }
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
const typedQuery = () => searchBox.value.replace(/[\x01-\x03]/g, "").trim().toLowerCase();

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
