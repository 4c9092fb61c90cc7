// The failures after the first ones: kept as data (the failures block, see
// page_markup.h) and built as list items, text nodes only, when their
// group's disclosure first opens.

import { readBlock, utf8 } from "./decode.js";
import { badgeElements } from "./tree.js";
import { followHash } from "./search.js";

let moreFailures = null;  // a promise of the entries, decoded once

function failureItem([, node, path, what, checks]) {
  const item = document.createElement("li");
  const link = item.appendChild(document.createElement("a"));
  link.className = "path";
  link.href = "#n" + node;
  link.textContent = path;
  const badge = badgeElements(node);
  if (badge) item.append(" ", badge);
  item.append(" ");
  item.appendChild(document.createElement("span")).className = "type";
  item.lastChild.textContent = what;
  if (checks.length) {
    const list = item.appendChild(document.createElement("ul"));
    for (const [expression, counts] of checks) {
      const check = list.appendChild(document.createElement("li"));
      check.appendChild(document.createElement("code")).textContent = expression;
      if (counts) {
        check.append(" ");
        const span = check.appendChild(document.createElement("span"));
        span.className = "counts";
        span.textContent = counts;
      }
    }
  }
  return item;
}

async function fillFailures(list) {
  if (list.childElementCount) return;
  if (!moreFailures) {
    moreFailures = readBlock("data-failures").then((bytes) => (bytes.length ? JSON.parse(utf8.decode(bytes)) : []));
  }
  const group = Number(list.dataset.group);
  const fragment = document.createDocumentFragment();
  for (const entry of await moreFailures) if (entry[0] === group) fragment.appendChild(failureItem(entry));
  list.appendChild(fragment);
}

export function wireFailures() {
  for (const more of document.querySelectorAll("#failures details.more")) {
    more.addEventListener("toggle", () => { if (more.open) fillFailures(more.querySelector("ol")); });
  }
  // The same link again: no hash change, so reveal it here.
  document.getElementById("failures").addEventListener("click", (event) => {
    const link = event.target.closest("a.path");
    if (link && link.getAttribute("href") === window.location.hash) followHash();
  });
}
