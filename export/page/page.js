// The page's script: unpacks the tree data embedded in the page and shows
// it as a virtual list (DOM only for the lines in view), with search,
// "failures only", expand and collapse, deep links, keyboard use and a print
// view. Texts from the report only ever become text nodes, never markup.
"use strict";
(function () {
  const ROW = 26;            // height of a node line, as in the style sheet
  const OVERSCAN = 600;      // pixels drawn beyond the view
  const PRINT_LIMIT = 20000; // nodes in the print view
  const STATES = ["ne", "ok", "ko"];
  const ICONS = ["none", "method", "class", "testscript"];
  const STYLES = ["", "title", "plain", "failed", "passed"];
  const ROLE_DATA = 0, ROLE_HEADER = 1, ROLE_TITLE = 2, ROLE_TRACE = 3, ROLE_NOTE = 4;

  const treeBox = document.getElementById("tree");
  const spacer = treeBox.querySelector(".spacer");
  const searchBox = document.getElementById("search");
  const failuresOnly = document.getElementById("failures-only");
  const statusLine = document.getElementById("status");

  let n = 0;
  let parent, end, depth, flags, types, files, lines, detailStart, detailEnd;
  let strings = [];
  let texts = "", textStart;  // all searchable texts, and where each node's begin
  let details;
  let expanded;               // 1: children and details shown
  let match = null;           // search: 1 matches itself, 2 by a cell, 4 holds a match below
  let query = "";
  let visible = new Int32Array(0);  // entries: node * 2 (its line) or node * 2 + 1 (details)
  let offsets = new Float64Array(1);
  let detailHeight;           // measured heights of details blocks, 0 when not yet
  let active = -1;
  const drawn = new Map();    // entry -> element in the tree box

  // ---- unpacking -------------------------------------------------------

  async function block(id) {
    const script = document.getElementById(id);
    const text = script.textContent;
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    if (script.dataset.encoding !== "deflate") return bytes;
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("deflate"));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  function varint(bytes, at) {  // returns [value, next position]
    let value = 0, shift = 1, b;
    do {
      b = bytes[at++];
      value += (b & 0x7f) * shift;
      shift *= 128;
    } while (b & 0x80);
    return [value, at];
  }

  const utf8 = new TextDecoder();

  function readNodes(bytes) {
    const words = new Uint32Array(bytes.buffer, bytes.byteOffset, bytes.byteLength / 4);
    n = words[1];
    const column = (i) => words.subarray(2 + i * n, 2 + (i + 1) * n);
    const distance = column(0);
    flags = column(1); types = column(2); files = column(3); lines = column(4);
    detailStart = column(5);
    parent = new Int32Array(n);
    end = new Int32Array(n);
    depth = new Int32Array(n);
    for (let i = 0; i < n; i++) {
      parent[i] = distance[i] ? i - distance[i] : -1;
      depth[i] = parent[i] >= 0 ? depth[parent[i]] + 1 : 1;
      end[i] = i + 1;
    }
    for (let i = n - 1; i > 0; i--) if (parent[i] >= 0 && end[i] > end[parent[i]]) end[parent[i]] = end[i];
  }

  function readStrings(bytes) {
    const count = new DataView(bytes.buffer, bytes.byteOffset).getUint32(0, true);
    let at = 4;
    strings = new Array(count);
    for (let i = 0; i < count; i++) {
      let length;
      [length, at] = varint(bytes, at);
      strings[i] = utf8.decode(bytes.subarray(at, at + length));
      at += length;
    }
  }

  function readTexts(bytes) {
    texts = utf8.decode(bytes);
    textStart = new Int32Array(n + 1);
    let at = -1;
    for (let i = 0; i < n; i++) {
      at = texts.indexOf("\x01", at + 1);
      textStart[i] = at;
    }
    textStart[n] = texts.length;
  }

  // The texts of node i: [name, own title or null, searchable cell texts...]
  function textsOf(i) {
    const parts = texts.slice(textStart[i] + 1, textStart[i + 1]).split(/(?=[\x02\x03])/);
    const result = [parts[0], null];
    for (let k = 1; k < parts.length; k++) {
      if (parts[k][0] === "\x02") result[1] = parts[k].slice(1);
      else result.push(parts[k].slice(1));
    }
    return result;
  }

  const nameOf = (i) => textsOf(i)[0];
  const stateOf = (i) => flags[i] & 3;
  const hasChildren = (i) => end[i] > i + 1;
  const hasDetails = (i) => detailEnd[i] > detailStart[i];
  const indent = (i) => 18 * Math.min(depth[i] - 1, 40);

  // The details of node i as items: {row: role, cells: [{style, link, image, text, file, line}]}
  // or {title: text, style, file, line}.
  function detailsOf(i) {
    const items = [];
    const searchable = textsOf(i).slice(2);
    let next = 0;
    let at = detailStart[i];
    const stop = detailEnd[i];
    while (at < stop) {
      const kind = details[at++];
      if (kind === 1) {
        const role = details[at++];
        let count;
        [count, at] = varint(details, at);
        const cells = [];
        for (let c = 0; c < count; c++) {
          const f = details[at++];
          const cell = { style: f & 7, linkCell: !!(f & 8), image: !!(f & 16), text: "", file: null, line: 0 };
          if (f & 0x40) {
            cell.text = searchable[next++];
          } else if (f & 0x80) {
            let id;
            [id, at] = varint(details, at);
            cell.text = strings[id];
          } else {
            let length;
            [length, at] = varint(details, at);
            cell.text = utf8.decode(details.subarray(at, at + length));
            at += length;
          }
          if (f & 0x20) {
            let id;
            [id, at] = varint(details, at);
            [cell.line, at] = varint(details, at);
            cell.file = strings[id];
          }
          cells.push(cell);
        }
        items.push({ row: role, cells });
      } else {
        let level, length, id;
        [level, at] = varint(details, at);
        const style = details[at++];
        [length, at] = varint(details, at);
        const item = { title: utf8.decode(details.subarray(at, at + length)), level, style, file: null, line: 0 };
        at += length;
        if (details[at++]) {
          [id, at] = varint(details, at);
          [item.line, at] = varint(details, at);
          item.file = strings[id];
        }
        items.push(item);
      }
    }
    return items;
  }

  // ---- the visible list ------------------------------------------------

  function shown(i) {
    if (failuresOnly.checked && stateOf(i) !== 2) return false;
    return !match || match[i] !== 0;
  }

  function isOpen(i) { return expanded[i] === 1; }

  function rebuild() {
    const list = [];
    let i = 0;
    while (i < n) {
      if (!shown(i)) { i = end[i]; continue; }
      list.push(i * 2);
      const open = isOpen(i) || (match && (match[i] & 2));
      if (open && hasDetails(i)) list.push(i * 2 + 1);
      i = open || (match && (match[i] & 4)) ? i + 1 : end[i];
    }
    visible = Int32Array.from(list);
    layout();
  }

  function heightOf(entry) {
    if (!(entry & 1)) return ROW;
    const i = entry >> 1;
    if (detailHeight[i]) return detailHeight[i];
    return 12 + 21 * Math.max(1, countItems(i));
  }

  function countItems(i) {  // a cheap estimate: rows and titles
    let count = 0;
    for (let at = detailStart[i]; at < detailEnd[i]; at++) if (details[at] === 1 || details[at] === 2) count++;
    return Math.min(count, 400);
  }

  function layout() {
    offsets = new Float64Array(visible.length + 1);
    for (let k = 0; k < visible.length; k++) offsets[k + 1] = offsets[k] + heightOf(visible[k]);
    spacer.style.height = offsets[visible.length] + "px";
    for (const element of drawn.values()) element.remove();
    drawn.clear();
    draw();
    updateStatus();
  }

  function firstAt(y) {  // the first entry whose bottom is below y
    let lo = 0, hi = visible.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (offsets[mid + 1] <= y) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  function draw() {
    const top = treeBox.scrollTop - OVERSCAN;
    const bottom = treeBox.scrollTop + treeBox.clientHeight + OVERSCAN;
    const keep = new Set();
    let changed = false;
    for (let k = firstAt(Math.max(0, top)); k < visible.length && offsets[k] < bottom; k++) {
      const entry = visible[k];
      keep.add(entry);
      let element = drawn.get(entry);
      if (!element) {
        element = entry & 1 ? detailsElement(entry >> 1) : lineElement(entry >> 1);
        drawn.set(entry, element);
        treeBox.appendChild(element);
      }
      element.style.top = offsets[k] + "px";
      if (entry & 1) {
        const h = element.offsetHeight;
        if (h && h !== detailHeight[entry >> 1]) {
          detailHeight[entry >> 1] = h;
          if (h !== offsets[k + 1] - offsets[k]) changed = true;
        }
      }
    }
    for (const [entry, element] of drawn) {
      if (!keep.has(entry)) { element.remove(); drawn.delete(entry); }
    }
    if (changed) {
      for (let k = 0; k < visible.length; k++) offsets[k + 1] = offsets[k] + heightOf(visible[k]);
      spacer.style.height = offsets[visible.length] + "px";
      for (let k = firstAt(Math.max(0, top)); k < visible.length && offsets[k] < bottom; k++) {
        const element = drawn.get(visible[k]);
        if (element) element.style.top = offsets[k] + "px";
      }
    }
  }

  // ---- elements ----------------------------------------------------------

  function el(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.appendChild(marked(text));
    return e;
  }

  // Text with the search matches in <mark>; always text nodes.
  function marked(text) {
    if (!query) return document.createTextNode(text);
    const fragment = document.createDocumentFragment();
    const lower = text.toLowerCase();
    let from = 0;
    for (let at = lower.indexOf(query); at >= 0 && query; at = lower.indexOf(query, from)) {
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

  function lineElement(i) {
    const f = flags[i];
    const open = isOpen(i) || (match && (match[i] & 6));
    const expandable = hasChildren(i) || hasDetails(i);
    const line = el("div", "line state-" + STATES[f & 3] + (expandable ? (open ? " open" : "") : " leaf"));
    line.id = "line-" + i;
    line.dataset.node = i;
    line.setAttribute("role", "treeitem");
    line.setAttribute("aria-level", depth[i]);
    if (expandable) line.setAttribute("aria-expanded", open ? "true" : "false");
    if (i === active) { line.classList.add("active"); line.setAttribute("aria-selected", "true"); }
    line.style.paddingLeft = 6 + indent(i) + "px";
    line.appendChild(el("span", "twisty"));
    line.appendChild(el("span", "icon " + ICONS[(f >> 2) & 3]));
    const [name, ownTitle] = textsOf(i);
    line.appendChild(el("span", "name", ((f >> 5) & 3) === 3 ? ownTitle : name));
    line.appendChild(el("span", "type", strings[types[i]]));
    if (f & 128) line.appendChild(el("span", "location", where(strings[files[i]], lines[i])));
    const anchor = el("a", "anchor", "#");
    anchor.href = "#n" + i;
    anchor.title = "Link to this node";
    anchor.tabIndex = -1;
    line.appendChild(anchor);
    return line;
  }

  function detailsElement(i) {
    const box = el("div", "details");
    box.style.paddingLeft = 24 + indent(i) + "px";
    const items = detailsOf(i);
    let columns = 1;
    for (const item of items) if (item.cells && item.row !== ROLE_TRACE && item.row !== ROLE_NOTE) columns = Math.max(columns, item.cells.length);
    let table = null, body = null, headed = false;
    const ensureTable = () => {
      if (table) return;
      table = el("table");
      body = el("tbody");
      table.appendChild(body);
      box.appendChild(table);
    };
    for (const item of items) {
      if (item.title !== undefined) {
        table = null;
        const heading = el("div", "heading", item.title);
        if (item.file !== null) heading.appendChild(el("span", "location", " " + where(item.file, item.line)));
        box.appendChild(heading);
        continue;
      }
      ensureTable();
      const cells = item.cells;
      if (item.row === ROLE_HEADER) {
        if (headed) continue;  // reopened tables repeat nothing, but be safe
        headed = true;
        const head = el("thead");
        const tr = el("tr");
        for (const c of cells) tr.appendChild(el("th", "", c.text));
        head.appendChild(tr);
        table.insertBefore(head, body);
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
        for (const c of cells) {
          const td = el("td", "", c.text);
          if (c.file !== null) td.appendChild(el("span", "location", " " + where(c.file, c.line)));
          tr.appendChild(td);
        }
      }
      body.appendChild(tr);
    }
    return box;
  }

  // ---- actions -------------------------------------------------------------

  function updateStatus() {
    let text = n + (n === 1 ? " node" : " nodes");
    if (match) {
      let count = 0;
      for (let i = 0; i < n; i++) if (match[i] & 3) count++;
      text = count + (count === 1 ? " match" : " matches");
    } else if (failuresOnly.checked) {
      text = "failures only";
    }
    statusLine.textContent = text;
  }

  function toggle(i, open) {
    if (!hasChildren(i) && !hasDetails(i)) return;
    expanded[i] = open === undefined ? 1 - expanded[i] : open ? 1 : 0;
    const keepTop = treeBox.scrollTop;
    rebuild();
    treeBox.scrollTop = keepTop;
  }

  function setActive(i, scroll) {
    const old = document.getElementById("line-" + active);
    if (old) { old.classList.remove("active"); old.removeAttribute("aria-selected"); }
    active = i;
    treeBox.setAttribute("aria-activedescendant", "line-" + i);
    if (scroll) {
      const k = visible.indexOf(i * 2);
      if (k >= 0) {
        const top = offsets[k], bottom = offsets[k] + ROW;
        if (top < treeBox.scrollTop) treeBox.scrollTop = top;
        else if (bottom > treeBox.scrollTop + treeBox.clientHeight) treeBox.scrollTop = bottom - treeBox.clientHeight;
        draw();
      }
    }
    const now = document.getElementById("line-" + i);
    if (now) { now.classList.add("active"); now.setAttribute("aria-selected", "true"); }
  }

  // Opens the page at node i: every ancestor expanded, the node too, in view.
  function reveal(i) {
    if (!(i >= 0 && i < n)) return;
    if (failuresOnly.checked && stateOf(i) !== 2) failuresOnly.checked = false;
    if (match && match[i] === 0) { searchBox.value = ""; search(); }
    for (let p = parent[i]; p >= 0; p = parent[p]) expanded[p] = 1;
    expanded[i] = 1;
    rebuild();
    const k = visible.indexOf(i * 2);
    treeBox.scrollTop = Math.max(0, offsets[k] - treeBox.clientHeight / 4);
    draw();
    setActive(i, false);
    const line = document.getElementById("line-" + i);
    if (line) line.classList.add("target");
    treeBox.scrollIntoView({ block: "start" });
    treeBox.focus({ preventScroll: true });
  }

  function fromHash() {
    const m = /^#n(\d+)$/.exec(window.location.hash);
    if (m) reveal(Number(m[1]));
  }

  function search() {
    query = searchBox.value.trim().toLowerCase();
    if (!query) {
      match = null;
    } else {
      match = new Uint8Array(n);
      const pattern = new RegExp(query.replace(/[.*+?^${}()|[\]\\]/g, "\\$&"), "gi");
      let node = 0;
      for (let m = pattern.exec(texts); m; m = pattern.exec(texts)) {
        while (node + 1 < n && textStart[node + 1] <= m.index) node++;
        const kind = texts.lastIndexOf("\x03", m.index) > textStart[node] ? 2 : 1;
        match[node] |= kind;
      }
      for (let i = n - 1; i >= 0; i--) if (match[i] && parent[i] >= 0) match[parent[i]] |= 4;
    }
    treeBox.scrollTop = 0;
    rebuild();
  }

  function move(k, delta) {  // to the next line entry from visible index k
    for (let j = k + delta; j >= 0 && j < visible.length; j += delta) {
      if (!(visible[j] & 1)) { setActive(visible[j] >> 1, true); return; }
    }
  }

  function onKey(event) {
    if (!n) return;
    if (active < 0 || visible.indexOf(active * 2) < 0) setActive(visible.length ? visible[0] >> 1 : -1, true);
    const i = active;
    const k = visible.indexOf(i * 2);
    const open = isOpen(i) || (match && (match[i] & 6));
    switch (event.key) {
      case "ArrowDown": move(k, 1); break;
      case "ArrowUp": move(k, -1); break;
      case "ArrowRight":
        if ((hasChildren(i) || hasDetails(i)) && !open) toggle(i, true);
        else if (hasChildren(i)) move(k, 1);
        break;
      case "ArrowLeft":
        if (open && (hasChildren(i) || hasDetails(i)) && !match) toggle(i, false);
        else if (parent[i] >= 0 && visible.indexOf(parent[i] * 2) >= 0) setActive(parent[i], true);
        break;
      case "Enter":
      case " ":
        toggle(i);
        setActive(i, true);
        break;
      case "Home": move(-1, 1); break;
      case "End": move(visible.length, -1); break;
      default: return;
    }
    event.preventDefault();
  }

  function expandAll(open) {
    expanded.fill(open ? 1 : 0);
    treeBox.scrollTop = 0;
    rebuild();
  }

  // The print view: everything expanded, as plain blocks.
  function buildPrint() {
    const box = document.getElementById("print");
    box.textContent = "";
    const limit = Math.min(n, PRINT_LIMIT);
    for (let i = 0; i < limit; i++) {
      if (failuresOnly.checked && stateOf(i) !== 2) { i = end[i] - 1; continue; }
      box.appendChild(lineElement(i));
      if (hasDetails(i)) box.appendChild(detailsElement(i));
    }
    if (limit < n) box.appendChild(el("p", "none", "The print view ends after " + limit + " of " + n + " objects."));
  }

  // ---- start -----------------------------------------------------------

  async function start() {
    try {
      const [nodeBytes, stringBytes, textBytes, detailBytes] =
        await Promise.all(["data-nodes", "data-strings", "data-texts", "data-details"].map(block));
      readNodes(nodeBytes);
      readStrings(stringBytes);
      readTexts(textBytes);
      details = detailBytes;
      detailEnd = new Uint32Array(n);
      for (let i = 0; i < n; i++) detailEnd[i] = i + 1 < n ? detailStart[i + 1] : details.length;
    } catch (error) {
      treeBox.textContent = "The tree cannot be shown: this browser could not unpack the page's data (" + error + ").";
      return;
    }
    expanded = new Uint8Array(n);
    detailHeight = new Float32Array(n);
    // Open down to the drivers: the top nodes show their children.
    for (let i = 0; i < n; i = end[i]) expanded[i] = 1;
    treeBox.addEventListener("scroll", () => requestAnimationFrame(draw));
    window.addEventListener("resize", () => requestAnimationFrame(draw));
    treeBox.addEventListener("click", (event) => {
      const line = event.target.closest(".line");
      if (!line || event.target.closest("a")) return;
      const i = Number(line.dataset.node);
      setActive(i, false);
      toggle(i);
    });
    treeBox.addEventListener("keydown", onKey);
    let pending = 0;
    searchBox.addEventListener("input", () => { clearTimeout(pending); pending = setTimeout(search, n > 50000 ? 250 : 60); });
    searchBox.addEventListener("keydown", (event) => { if (event.key === "Enter") { clearTimeout(pending); search(); } });
    failuresOnly.addEventListener("change", () => { treeBox.scrollTop = 0; rebuild(); });
    document.getElementById("expand-all").addEventListener("click", () => expandAll(true));
    document.getElementById("collapse-all").addEventListener("click", () => expandAll(false));
    window.addEventListener("hashchange", fromHash);
    window.addEventListener("beforeprint", buildPrint);
    window.addEventListener("afterprint", () => { document.getElementById("print").textContent = ""; });
    rebuild();
    document.body.dataset.ready = "true";
    fromHash();
  }

  start();
})();
