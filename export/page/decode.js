// Decoding: the page's data blocks (written by page_data.cpp, whose header
// describes them) into typed columns and texts. Nothing here touches the
// document beyond reading the blocks, so the decoder runs in Node as well.

// The bytes of the page's block with the given id.
export async function readBlock(id) {
  const script = document.getElementById(id);
  return decodeBlock(script.textContent, script.dataset.encoding);
}

// A block's bytes: base64, then inflated when its encoding says "deflate".
// The browser's own base64 decoder where it has one: four times as fast.
export async function decodeBlock(base64, encoding) {
  let bytes;
  if (Uint8Array.fromBase64) {
    bytes = Uint8Array.fromBase64(base64);
  } else {
    const binary = atob(base64);
    bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  }
  if (encoding !== "deflate") return bytes;
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

export const utf8 = new TextDecoder();
// The marks ahead of a node's texts, after its name's (1): its title's, a
// searchable cell's.
const TEXT_TITLE = 2;
export const TEXT_CELL = 3;

// The four blocks' bytes into one data object. Linear in their size.
export function decodeData(nodeBytes, stringBytes, textBytes, detailBytes) {
  const d = {};
  const words = new Uint32Array(nodeBytes.buffer, nodeBytes.byteOffset, nodeBytes.byteLength / 4);
  if (words[0] !== 2) throw new Error("unknown data version " + words[0]);
  const n = (d.n = words[1]);
  const column = (i) => words.subarray(2 + i * n, 2 + (i + 1) * n);
  const distance = column(0);
  d.flags = column(1); d.types = column(2); d.files = column(3); d.lines = column(4);
  d.detailStart = column(5);
  d.parent = new Int32Array(n);
  d.end = new Int32Array(n);
  d.depth = new Int32Array(n);
  for (let i = 0; i < n; i++) {
    const p = (d.parent[i] = distance[i] ? i - distance[i] : -1);
    d.depth[i] = p >= 0 ? d.depth[p] + 1 : 1;
    d.end[i] = i + 1;
  }
  for (let i = n - 1; i > 0; i--) {
    const p = d.parent[i];
    if (p >= 0 && d.end[i] > d.end[p]) d.end[p] = d.end[i];
  }

  const count = new DataView(stringBytes.buffer, stringBytes.byteOffset).getUint32(0, true);
  d.strings = new Array(count);
  let at = 4;
  for (let i = 0; i < count; i++) {
    let length;
    [length, at] = varint(stringBytes, at);
    d.strings[i] = utf8.decode(stringBytes.subarray(at, at + length));
    at += length;
  }

  d.texts = utf8.decode(textBytes);
  d.textStart = new Int32Array(n + 1);
  at = -1;
  for (let i = 0; i < n; i++) {
    at = d.texts.indexOf("\x01", at + 1);
    d.textStart[i] = at;
  }
  d.textStart[n] = d.texts.length;

  d.details = detailBytes;
  d.detailEnd = new Uint32Array(n);
  for (let i = 0; i < n; i++) d.detailEnd[i] = i + 1 < n ? d.detailStart[i + 1] : detailBytes.length;
  return d;
}

// The texts of node i: {name, title (own title or null), cells: the
// searchable cell texts in order}.
export function textsOf(d, i) {
  const parts = d.texts.slice(d.textStart[i] + 1, d.textStart[i + 1]).split(/(?=[\x02\x03])/);
  const result = { name: parts[0], title: null, cells: [] };
  for (let k = 1; k < parts.length; k++) {
    if (parts[k].charCodeAt(0) === TEXT_TITLE) result.title = parts[k].slice(1);
    else result.cells.push(parts[k].slice(1));
  }
  return result;
}

// The details of node i as items: {row: role, cells: [{style, linkCell,
// image, text, file, line}]} or {title, level, style, file, line}.
export function detailsOf(d, i) {
  const details = d.details, strings = d.strings;
  const searchable = textsOf(d, i).cells;
  const items = [];
  let next = 0;
  let at = d.detailStart[i];
  const stop = d.detailEnd[i];
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

// The badges block (page_badges.h) for a tree of n nodes: per node the
// number of its badge or -1, and per badge its kind, its run name (for
// "failing since") and its strip of statuses. Linear in the block.
export function decodeBadges(bytes, n) {
  const b = { at: new Int32Array(n).fill(-1), kind: [], since: [], strip: [] };
  let at = 0, count, length;
  [count, at] = varint(bytes, at);
  const names = [];
  for (let i = 0; i < count; i++) {
    [length, at] = varint(bytes, at);
    names.push(utf8.decode(bytes.subarray(at, at + length)));
    at += length;
  }
  [count, at] = varint(bytes, at);
  let node = 0;
  for (let k = 0; k < count; k++) {
    let gap, name = null;
    [gap, at] = varint(bytes, at);
    node += gap;
    const kind = bytes[at++];
    if (kind === 1) {
      [length, at] = varint(bytes, at);
      name = names[length];
    }
    length = bytes[at++];
    b.strip.push(bytes.subarray(at, at + length));
    at += length;
    b.kind.push(kind);
    b.since.push(name);
    if (node < n && b.at[node] < 0) b.at[node] = k;
  }
  return b;
}
