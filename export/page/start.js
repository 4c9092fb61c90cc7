// The start: the data unpacked, then the tree drawn and the controls wired.
// Until then the summary and the failures, plain markup, are already shown.

import { readBlock, decodeData, decodeBadges } from "./decode.js";
import { L, treeBox, openTree } from "./tree.js";
import { startSearch, followHash } from "./search.js";
import { wireKeyboard } from "./keyboard.js";
import { watchPrint } from "./print.js";
import { wireFailures } from "./failures.js";

async function start() {
  let data, badges = null;
  try {
    const blocks = await Promise.all(["data-nodes", "data-strings", "data-texts", "data-details"].map(readBlock));
    data = decodeData(...blocks);
    if (document.getElementById("data-badges")) badges = decodeBadges(await readBlock("data-badges"), data.n);
  } catch (error) {
    treeBox.textContent = L.cannotShow.replace("%1", String(error));
    return;
  }
  openTree(data, badges);
  startSearch();
  wireKeyboard();
  wireFailures();
  watchPrint();
  window.addEventListener("hashchange", followHash);
  document.body.dataset.ready = "true";
  followHash();
}

start();
