// The busy line: what the page is doing, how far it is, and Cancel beside it.
"use strict";

(() => {
  const page = Kelvane.page;
  const { $ } = page;

  let busyCount = 0;
  let busyLabel = "";

  // Runs work (a function giving a promise, given a progress function of
  // done and total) with the busy line and Cancel shown; a cancelled or
  // failed run is said in the notices.
  async function busy(label, work) {
    ++busyCount;
    busyLabel = label;
    $("status").textContent = label;
    $("busy").hidden = false;
    $("busy").classList.remove("shown");
    // Work done at once does not flash the line.
    setTimeout(() => { if (busyCount > 0) $("busy").classList.add("shown"); }, 300);
    const progress = (done, total) => {
      if (busyLabel === label) $("status").textContent = `${label} ${done.toLocaleString("en")} of ${total.toLocaleString("en")}`;
    };
    try {
      return await work(progress);
    } catch (error) {
      page.notice(error.message === "Cancelled" ? `${label} cancelled.` : `${label} failed: ${error.message}`, "err");
      return null;
    } finally {
      if (--busyCount === 0) $("busy").hidden = true;
    }
  }

  page.busy = busy;
})();
