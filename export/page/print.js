// The print view: the tree expanded, as plain blocks (a node's line with
// its details, kept together on a sheet), built when printing starts or
// print media applies, and emptied after.

import { view, L, el, lineElement, detailsElement, shownSelf, hasDetails } from "./tree.js";

const PRINT_LIMIT = 20000;  // nodes in the print view
const printBox = document.getElementById("print");

function buildPrint() {
  if (printBox.childElementCount) return;
  const n = view.data.n;
  const limit = Math.min(n, PRINT_LIMIT);
  const fragment = document.createDocumentFragment();
  for (let i = 0; i < limit; i++) {
    if (!shownSelf(i)) { i = view.data.end[i] - 1; continue; }
    const block = fragment.appendChild(el("div", "node"));
    block.appendChild(lineElement(i)).id = "print-" + i;
    if (hasDetails(i)) block.appendChild(detailsElement(i));
  }
  if (limit < n) fragment.appendChild(el("p", "none", L.printEnd.replace("%1", limit).replace("%2", n)));
  printBox.appendChild(fragment);
}

export function watchPrint() {
  window.addEventListener("beforeprint", buildPrint);
  window.addEventListener("afterprint", () => { printBox.textContent = ""; });
  const media = window.matchMedia("print");
  media.addEventListener("change", () => (media.matches ? buildPrint() : (printBox.textContent = "")));
  if (media.matches) buildPrint();
}
