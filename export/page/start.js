// The start: the labels and the data unpacked, then the tree drawn and the
// controls wired. Until then the summary and the failures, plain markup,
// are already shown.

// The page's labels in the report reader's language, written by the page
// writer as JSON (with "<" escaped, so the block cannot end early).
const L = JSON.parse(document.getElementById("data-labels").textContent);
let searchTimer = 0;

async function readBlock(id) {
  const script = document.getElementById(id);
  return decodeBlock(script.textContent, script.dataset.encoding);
}

function fromHash() {
  const m = /^#n(\d+)$/.exec(window.location.hash);
  if (m) reveal(Number(m[1]));
}

async function start() {
  try {
    const blocks = await Promise.all(["data-nodes", "data-strings", "data-texts", "data-details"].map(readBlock));
    D = decodeData(...blocks);
    if (document.getElementById("data-badges")) B = decodeBadges(await readBlock("data-badges"), D.n);
  } catch (error) {
    treeBox.textContent = L.cannotShow.replace("%1", String(error));
    return;
  }
  expanded = new Uint8Array(D.n);
  detailHeight = new Float32Array(D.n);
  countVerdicts();
  // Open down to the drivers: the top nodes show their children.
  for (let i = 0; i < D.n; i = D.end[i]) expanded[i] = 1;
  treeBox.addEventListener("scroll", () => requestAnimationFrame(onScroll), { passive: true });
  treeBox.addEventListener("wheel", onWheel, { passive: false });
  window.addEventListener("resize", () => requestAnimationFrame(() => setPos(pos)));
  treeItems.addEventListener("click", (event) => {
    const line = event.target.closest(".line");
    if (!line || event.target.closest("a")) return;
    const i = Number(line.dataset.node);
    treeItems.focus({ preventScroll: true });
    setActive(i, false);
    toggle(i);
  });
  treeItems.addEventListener("keydown", onTreeKey);
  searchBox.addEventListener("input", () => {
    clearTimeout(searchTimer);
    searchTimer = setTimeout(applyFilters, D.n > 50000 ? 200 : 60);
  });
  searchBox.addEventListener("keydown", onSearchKey);
  failuresOnly.addEventListener("change", applyFilters);
  notExecutedOnly.addEventListener("change", applyFilters);
  document.getElementById("expand-all").addEventListener("click", () => expandAll(true));
  document.getElementById("collapse-all").addEventListener("click", () => expandAll(false));
  window.addEventListener("hashchange", fromHash);
  wireFailures();
  watchPrint();
  layoutAll(-1);
  document.body.dataset.ready = "true";
  fromHash();
}

start();
