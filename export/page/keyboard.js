// The keyboard in the tree, as the tree pattern has it: up and down move,
// right opens (or goes to the first child), left closes (or goes to the
// parent), Enter and space toggle, Home and End, Page Up and Page Down.
// The focus stays on the tree box; the active line is its active descendant.

function onTreeKey(event) {
  if (!D.n || event.altKey || event.ctrlKey || event.metaKey) return;
  if (active < 0 || topOf(active) < 0) setActive(Math.max(0, nodeAt(pos)), true);
  const i = active;
  let target = -1;
  switch (event.key) {
    case "ArrowDown": target = nextShown(i); break;
    case "ArrowUp": target = previousShown(i); break;
    case "ArrowRight":
      if (expandable(i) && !isOpen(i)) toggle(i, true);
      else if (hasChildren(i)) target = nextShown(i);
      break;
    case "ArrowLeft":
      if (isOpen(i) && expanded[i]) toggle(i, false);
      else if (D.parent[i] >= 0 && topOf(D.parent[i]) >= 0) target = D.parent[i];
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
  if (typedQuery() !== query) { clearTimeout(searchTimer); applyFilters(); }
  stepMatch(event.shiftKey ? -1 : 1);
}
