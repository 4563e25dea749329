// The sprite list: the sprites chosen (files, a folder's tree) read and
// described by the core, each with its frames, layout and notices, and the
// list box's mouse and keys.
"use strict";

(() => {
  const page = Kelvane.page;
  const { $, state, kSpriteName } = page;
  const printable = Kelvane.printable;
  const kReadBatch = 64;   // sprites read and described at a time

  // The sprites' paths as listed: in the converter's order as the core last
  // gave it, and any it has not ordered yet (its answer cancelled) after them.
  function listedNames() {
    const ordered = state.order.filter((name) => state.sprites.has(name));
    const seen = new Set(ordered);
    return [...ordered, ...[...state.sprites.keys()].filter((name) => !seen.has(name))];
  }

  // Asks the core for the order of the sprites the page holds: the order a
  // run of the converter takes them in, over one folder or a folder's tree.
  async function reorder() {
    const names = [...state.sprites.keys()];
    const { order } = await page.client.request("order", { names });
    state.order = order ? order.map((index) => names[index]) : names;
  }

  function sizesText(frames) {
    const sizes = [...new Set(frames.map((frame) => `${frame.width} x ${frame.height}`))];
    return sizes.length > 4 ? sizes.slice(0, 4).join(", ") + ", …" : sizes.join(", ");
  }

  function listItem(name, description) {
    const item = document.createElement("li");
    item.dataset.sprite = name;
    // One option of the list box is in the Tab order; the arrows move in it.
    item.tabIndex = -1;
    item.setAttribute("role", "option");
    item.setAttribute("aria-selected", String(name === state.selected));
    const title = document.createElement("span");
    title.className = "name";
    title.textContent = printable(name);
    const facts = document.createElement("span");
    facts.className = "facts";
    if (description.accepted) {
      facts.textContent = `${Kelvane.count(description.frames.length, "frame")} · ${sizesText(description.frames)} · ${description.layout}`;
    } else {
      item.classList.add("refused");
      facts.textContent = "not a sprite the converter takes";
    }
    item.append(title, facts);
    if (description.notices.length > 0) {
      const list = document.createElement("ul");
      list.className = "sprite-notices";
      for (const line of description.notices) {
        const entry = document.createElement("li");
        entry.textContent = line;
        list.append(entry);
      }
      item.append(list);
    }
    return item;
  }

  function renderList() {
    const names = listedNames();
    const fragment = document.createDocumentFragment();
    for (const name of names) fragment.append(listItem(name, state.sprites.get(name).description));
    $("sprite-list").replaceChildren(fragment);
    $("sprite-count").textContent = names.length > 0 ? `(${names.length.toLocaleString("en")})` : "";
    $("no-sprites").hidden = names.length > 0;
    markSelected();
  }

  // The selected sprite marked, and it (or the first) the option in the Tab order.
  function markSelected() {
    const items = $("sprite-list").children;
    let focusable = null;
    for (const item of items) {
      const chosen = item.dataset.sprite === state.selected;
      item.setAttribute("aria-selected", String(chosen));
      item.tabIndex = -1;
      if (chosen) focusable = item;
    }
    if (!focusable && items.length > 0) focusable = items[0];
    if (focusable) focusable.tabIndex = 0;
  }

  // Opens sprites: files ({ path, file }), each under its path in the folder
  // chosen (a/x.dc6, as a run over the folder's tree names it) or its name.
  async function openSprites(files) {
    const wanted = [];
    const left = [];
    for (const entry of files) {
      if (kSpriteName.test(entry.path)) wanted.push(entry);
      else left.push({ text: `${printable(entry.path)}: not a .dc6 file; left out`, kind: "page" });
    }
    page.addNotices(left);
    if (wanted.length === 0) return;
    await page.busy(`Reading ${Kelvane.count(wanted.length, "sprite")}…`, async (progress) => {
      // Read a batch at a time, each handed to the worker at once: it
      // describes one batch while the next is read.
      const chosen = new Map();
      const answers = [];
      let described = 0;
      for (let start = 0; start < wanted.length; start += kReadBatch) {
        const read = await page.readFiles(wanted.slice(start, start + kReadBatch));
        for (const { path, bytes } of read) chosen.set(path, bytes);
        const { files: payload, transfer } = page.filesForWorker(read.map(({ path, bytes }) => [path, bytes]));
        answers.push(page.client.request("open", { files: payload, describe: true }, transfer).then((answer) => {
          described += payload.length;
          progress(described, wanted.length);
          return answer;
        }));
      }
      const sprites = [], refused = [];
      for (const answer of await Promise.all(answers)) {
        sprites.push(...answer.sprites);
        refused.push(...answer.refused);
      }
      if (chosen.size === 0) return;
      const lines = refused.map(({ name, why }) => ({ text: `${printable(name)}: ${why}`, kind: "page" }));
      for (const { name, description } of sprites) {
        state.sprites.set(name, { bytes: chosen.get(name), description });
        if (description.outOfMemory) lines.push({ text: `${printable(name)}: Not enough memory to read it`, kind: "err" });
        for (const line of description.notices) lines.push({ text: line, kind: "err" });
      }
      page.addNotices(lines);
      await reorder();
      renderList();
      if (state.selected && chosen.has(state.selected)) page.select(state.selected);
    });
  }

  // A folder's files by their paths below it, as a run over its tree names them.
  function inFolder(file) {
    const path = file.webkitRelativePath || file.name;
    const slash = path.indexOf("/");
    return { path: slash >= 0 ? path.slice(slash + 1) : path, file };
  }

  $("sprite-files").addEventListener("change", (event) => {
    openSprites([...event.target.files].map((file) => ({ path: file.name, file })));
    event.target.value = "";
  });
  $("sprite-folder").addEventListener("change", (event) => {
    openSprites([...event.target.files].filter((file) => kSpriteName.test(file.name)).map(inFolder));
    event.target.value = "";
  });
  $("clear-sprites").addEventListener("click", () => {
    // The worker keeps nothing the page does not list: a fresh one starts empty.
    state.sprites.clear();
    state.order = [];
    state.selected = null;
    page.showNothing();
    renderList();
    page.client.cancel();
  });

  $("sprite-list").addEventListener("click", (event) => {
    const item = event.target.closest("li[data-sprite]");
    if (item) page.select(item.dataset.sprite);
  });
  // The list box's keys: the arrows, Home and End move and select, as a
  // native list does; Enter and Space select the option with the focus.
  $("sprite-list").addEventListener("keydown", (event) => {
    const item = event.target.closest("li[data-sprite]");
    if (!item) return;
    const items = [...$("sprite-list").children];
    const at = items.indexOf(item);
    const moves = { ArrowDown: at + 1, ArrowUp: at - 1, Home: 0, End: items.length - 1, PageDown: at + 10, PageUp: at - 10 };
    if (event.key === "Enter" || event.key === " ") {
      event.preventDefault();
      page.select(item.dataset.sprite);
    } else if (event.key in moves) {
      event.preventDefault();
      const next = items[Math.max(0, Math.min(items.length - 1, moves[event.key]))];
      if (next !== item) {
        page.select(next.dataset.sprite);
        next.focus();
      }
    }
  });

  Object.assign(page, { openSprites, renderList, markSelected, listedNames });
})();
