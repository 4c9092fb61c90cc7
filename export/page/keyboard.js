// The keyboard in the tree, as the tree pattern has it: up and down move,
// right opens (or goes to the first child), left closes (or goes to the
// parent), Enter and space toggle, Home and End, Page Up and Page Down.
// The focus stays on the tree box; the active line is its active descendant.
// In the search box, Enter and Shift+Enter step through the matches.

import {
  view, ROW, treeItems, topOf, nodeAt, nextShown, previousShown, lastShown, expandable, isOpen, hasChildren,
  toggle, setActive, viewHeight, contentHeight,
} from "./tree.js";
import { searchBox, typedQuery, applyFilters, stepMatch } from "./search.js";

function onTreeKey(event) {
  if (!view.data.n || event.altKey || event.ctrlKey || event.metaKey) return;
  if (view.active < 0 || topOf(view.active) < 0) setActive(Math.max(0, nodeAt(view.pos)), true);
  const i = view.active;
  let target = -1;
  switch (event.key) {
    case "ArrowDown": target = nextShown(i); break;
    case "ArrowUp": target = previousShown(i); break;
    case "ArrowRight":
      if (expandable(i) && !isOpen(i)) toggle(i, true);
      else if (hasChildren(i)) target = nextShown(i);
      break;
    case "ArrowLeft":
      if (isOpen(i) && view.expanded[i]) toggle(i, false);
      else if (view.data.parent[i] >= 0 && topOf(view.data.parent[i]) >= 0) target = view.data.parent[i];
      break;
    case "Enter":
    case " ":
      toggle(i);
      target = i;
      break;
    case "Home": target = nodeAt(0); break;
    case "End": target = lastShown(); break;
    case "PageDown":
    case "PageUp": {
      const top = topOf(i) + (event.key === "PageDown" ? 1 : -1) * (viewHeight() - ROW);
      target = nodeAt(Math.max(0, Math.min(top, contentHeight() - 0.5)));
      break;
    }
    default: return;
  }
  if (target >= 0) setActive(target, true);
  event.preventDefault();
}

function onSearchKey(event) {
  if (event.key !== "Enter") return;
  event.preventDefault();
  if (typedQuery() !== view.query) applyFilters();
  stepMatch(event.shiftKey ? -1 : 1);
}

export function wireKeyboard() {
  treeItems.addEventListener("keydown", onTreeKey);
  searchBox.addEventListener("keydown", onSearchKey);
}
