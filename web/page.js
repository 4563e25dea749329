// The page: the user's files, the options, the list, the viewer, the saves
// and the packing, each a request to the core in the worker (worker.js).
"use strict";

(() => {
  const $ = (id) => document.getElementById(id);
  const kSpriteName = /\.dc6$/i;
  const kPackName = /\.(json|png|pcx)$/i;
  const kReadBatch = 64;   // sprites read and described at a time

  // The options of the last visit, before anything reads them.
  Kelvane.restoreSettings();

  const state = {
    sprites: new Map(),   // path -> { bytes, description }: the bytes read, kept for a fresh worker
    selected: null,       // the selected sprite's name
    view: null,           // its decoded frames: { name, frames, stitched, fillIndex }
    frameIndex: 0,        // the frame chosen in the viewer
    palette: null,        // the chosen palette file: { name, bytes }, or null for the built-in one
    paletteRgb: null,     // the run's palette, red, green, blue
    packed: [],           // the sprites the last pack wrote: [{ name, bytes }]
  };

  // ---- Notices and the busy line ----

  // The sprite a tool's line is about ("kelvane-convert: a/x.dc6: …"), or null.
  function subjectOf(text) {
    const match = /^kelvane-(?:convert|pack): (.+?\.dc6): /i.exec(text);
    return match ? match[1] : null;
  }

  // The notices about one sprite sit together under its name, in the order
  // said; the page's own lines stand alone.
  const noticeGroups = new Map();  // sprite -> its group's list

  function groupFor(subject, fragment) {
    let list = noticeGroups.get(subject);
    if (!list) {
      const group = document.createElement("li");
      group.className = "group";
      group.dataset.subject = subject;
      const title = document.createElement("span");
      title.className = "subject";
      title.textContent = printable(subject);
      list = document.createElement("ul");
      group.append(title, list);
      fragment.append(group);
      noticeGroups.set(subject, list);
    }
    return list;
  }

  // Adds lines ({ text, kind }) to the notices at once and shows the last:
  // a run over a folder may say thousands of things.
  function addNotices(lines) {
    if (lines.length === 0) return;
    const fragment = document.createDocumentFragment();
    for (const { text, kind } of lines) {
      const item = document.createElement("li");
      item.className = kind;
      item.textContent = text;
      const subject = subjectOf(text);
      (subject ? groupFor(subject, fragment) : fragment).append(item);
    }
    const list = $("notices");
    list.append(fragment);
    list.scrollTop = list.scrollHeight;
  }

  $("clear-notices").addEventListener("click", () => {
    noticeGroups.clear();
    $("notices").replaceChildren();
  });

  function notice(text, kind = "page") { addNotices([{ text, kind }]); }

  function toolLines(lines) { addNotices(lines.map((line) => ({ text: line.text, kind: line.stream }))); }

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
      notice(error.message === "Cancelled" ? `${label} cancelled.` : `${label} failed: ${error.message}`, "err");
      return null;
    } finally {
      if (--busyCount === 0) $("busy").hidden = true;
    }
  }

  const printable = Kelvane.printable;

  // Offers bytes (or a Blob) as a file of the given name.
  function download(name, bytes, type = "application/octet-stream") {
    const url = URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes], { type }));
    const link = document.createElement("a");
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  // The name without its last extension, as the converter names images.
  function stem(name) {
    const dot = name.lastIndexOf(".");
    return dot > 0 ? name.slice(0, dot) : name;
  }

  // The files ([name, bytes]) as a request gives them: copies, handed over.
  function filesForWorker(entries) {
    const files = entries.map(([name, bytes]) => ({ name, bytes: bytes.slice(0) }));
    return { files, transfer: files.map((file) => file.bytes) };
  }

  // Reads the chosen files ({ path, file }) once: the page keeps their bytes,
  // which stay what was chosen whatever happens to the files on disk later.
  // Gives those read ({ path, bytes }), and says which could not be.
  async function readFiles(chosen) {
    const read = [];
    const lines = [];
    await Promise.all(chosen.map(async ({ path, file }) => {
      try {
        read.push({ path, bytes: await file.arrayBuffer() });
      } catch (error) {
        lines.push({ text: `${printable(path)}: cannot be read (${error.name}); left out`, kind: "page" });
      }
    }));
    addNotices(lines);
    return read;
  }

  // ---- The worker, and a fresh one after Cancel ----

  const client = new Kelvane.CoreClient(async () => {
    // The files the page holds go to the fresh worker; their descriptions stay.
    const requests = [];
    const { files, transfer } = filesForWorker([...state.sprites].map(([name, sprite]) => [name, sprite.bytes]));
    if (files.length > 0) requests.push({ kind: "open", data: { files, describe: false }, transfer });
    if (state.palette) {
      const bytes = state.palette.bytes.slice(0);
      requests.push({ kind: "palette", data: { name: state.palette.name, bytes }, transfer: [bytes] });
    }
    return requests;
  });
  // A run over many sprites goes to workers of its own, one per core.
  const pool = new Kelvane.ConvertPool(Math.min(4, navigator.hardwareConcurrency || 1));
  const kPoolSprites = 16;

  $("cancel").addEventListener("click", () => {
    pool.cancel();
    client.cancel();
  });

  // ---- The sprite list ----

  function compareNames(a, b) {
    const left = a.toLowerCase(), right = b.toLowerCase();
    if (left !== right) return left < right ? -1 : 1;
    return a < b ? -1 : a > b ? 1 : 0;
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
    const names = [...state.sprites.keys()].sort(compareNames);
    const fragment = document.createDocumentFragment();
    for (const name of names) fragment.append(listItem(name, state.sprites.get(name).description));
    $("sprite-list").replaceChildren(fragment);
    $("sprite-count").textContent = names.length > 0 ? `(${names.length.toLocaleString("en")})` : "";
    $("no-sprites").hidden = names.length > 0;
    markSelected();
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
    addNotices(left);
    if (wanted.length === 0) return;
    await busy(`Reading ${Kelvane.count(wanted.length, "sprite")}…`, async (progress) => {
      // Read a batch at a time, each handed to the worker at once: it
      // describes one batch while the next is read.
      const chosen = new Map();
      const answers = [];
      let described = 0;
      for (let start = 0; start < wanted.length; start += kReadBatch) {
        const read = await readFiles(wanted.slice(start, start + kReadBatch));
        for (const { path, bytes } of read) chosen.set(path, bytes);
        const { files: payload, transfer } = filesForWorker(read.map(({ path, bytes }) => [path, bytes]));
        answers.push(client.request("open", { files: payload, describe: true }, transfer).then((answer) => {
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
      addNotices(lines);
      renderList();
      if (state.selected && chosen.has(state.selected)) select(state.selected);
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
    state.selected = null;
    showNothing();
    renderList();
    client.cancel();
  });

  $("sprite-list").addEventListener("click", (event) => {
    const item = event.target.closest("li[data-sprite]");
    if (item) select(item.dataset.sprite);
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
      select(item.dataset.sprite);
    } else if (event.key in moves) {
      event.preventDefault();
      const next = items[Math.max(0, Math.min(items.length - 1, moves[event.key]))];
      if (next !== item) {
        select(next.dataset.sprite);
        next.focus();
      }
    }
  });

  // ---- The viewer ----

  const strip = new Kelvane.FrameStrip($("frames"));
  const player = new Kelvane.Player($("animation"), (shown) => {
    $("play").textContent = shown.playing ? "Pause" : "Play";
    $("play").setAttribute("aria-pressed", String(shown.playing));
    $("play").disabled = !shown.animated;
    $("step").disabled = !shown.animated;
    $("save-animation").disabled = !shown.animated;
    $("step-back").disabled = !shown.animated;
    $("frame-number").textContent = shown.animated ? `frame ${shown.current + 1} of ${shown.frames.length}` : "";
    $("player-note").textContent = shown.note || "";
  });

  const zoom = () => Number($("zoom").value);

  function showNothing() {
    state.view = null;
    strip.show([], state.paletteRgb, zoom());
    player.clear();
    $("viewer-title").textContent = "No sprite selected";
    $("download-image").disabled = true;
    delete $("viewer").dataset.drawn;
  }

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

  async function select(name) {
    state.selected = name;
    markSelected();
    const sprite = state.sprites.get(name);
    delete $("viewer").dataset.drawn;
    if (!sprite || !sprite.description.accepted) {
      showNothing();
      $("viewer-title").textContent = printable(name);
      $("player-note").textContent = "The converter refused this file: see its notices.";
      return;
    }
    await busy(`Decoding ${printable(name)}…`, async () => {
      const answer = await client.request("decode", { name });
      if (state.selected !== name) return;
      const offsets = sprite.description.frames;
      const frames = answer.frames.map((frame, index) => ({ ...frame, xOffset: offsets[index].xOffset,
                                                            yOffset: offsets[index].yOffset }));
      const stitched = sprite.description.stitched || null;
      state.view = { name, frames, stitched, fillIndex: fillIndexOf(frames) };
      state.frameIndex = 0;
      draw();
      $("viewer").dataset.drawn = name;
    });
  }

  // The index the decoder left in the sprite's transparent pixels (the
  // fill index of its images), or null when every pixel is opaque.
  function fillIndexOf(frames) {
    for (const frame of frames) {
      if (!frame.shown) continue;
      const at = frame.opaque.indexOf(0);
      if (at >= 0) return frame.indices[at];
    }
    return null;
  }

  function draw() {
    const { name, frames, stitched } = state.view;
    $("viewer-title").textContent = printable(name);
    strip.show(frames, state.paletteRgb, zoom());
    player.show(frames, strip.canvases, stitched, zoom());
    controls.shown(state.paletteRgb, state.view.fillIndex);
    $("download-image").disabled = false;
  }

  const controls = new Kelvane.PlayerControls(player, strip, (index) => { state.frameIndex = index; });

  // ---- The palette ----

  function recolour() {
    if (!state.view) return;
    strip.recolour(state.view.frames, state.paletteRgb);
    player.draw();
    controls.shown(state.paletteRgb, state.view.fillIndex);
  }

  async function choosePalette(file) {
    await busy("Reading the palette…", async () => {
      let bytes = null;
      try {
        if (file) bytes = await file.arrayBuffer();
      } catch (error) {
        notice(`${printable(file.name)} cannot be read (${error.name}); the palette stays ${$("palette-name").textContent}.`);
        return;
      }
      const message = file ? { name: file.name, bytes: bytes.slice(0) } : {};
      const answer = await client.request("palette", message, message.bytes ? [message.bytes] : []);
      toolLines(answer.lines.filter((line) => line.stream === "err"));
      if (answer.status === 2 || !answer.rgb) {
        notice(`${file ? printable(file.name) : "The built-in palette"} was not taken; the palette stays ${$("palette-name").textContent}.`);
        return;
      }
      state.palette = file ? { name: file.name, bytes } : null;
      state.paletteRgb = answer.rgb;
      $("palette-name").textContent = file ? printable(file.name) : "built-in";
      recolour();
    });
  }

  $("palette-file").addEventListener("change", (event) => {
    const [file] = event.target.files;
    if (file) choosePalette(file);
    event.target.value = "";
  });
  $("palette-built-in").addEventListener("click", () => choosePalette(null));

  $("download-palette").addEventListener("click", () => busy("Writing the palette…", async () => {
    const extension = $("palette-format").value;
    const answer = await client.request("exportPalette", { palette: state.palette && state.palette.name, extension });
    toolLines(answer.lines.filter((line) => line.stream === "err"));
    if (answer.file) download(answer.file.name, answer.file.bytes);
  }));

  // ---- Saving images ----

  function options() {
    return {
      format: $("format").value,
      manifest: $("manifest").checked,
      sheet: $("sheet").checked,
      transparency: $("transparency").checked,
      ...Kelvane.AnimationSave.options($("animation-files").checked),
    };
  }

  $("download-zip").addEventListener("click", () => {
    const all = $("zip-scope").value === "all";
    if (!all && !state.selected) {
      notice("Select a sprite first, or save all sprites.");
      return;
    }
    if (state.sprites.size === 0) {
      notice("No sprites to save: choose or drop DC6 files.");
      return;
    }
    const zipName = all ? "kelvane-images.zip" : stem(state.selected.slice(state.selected.lastIndexOf("/") + 1)) + ".zip";
    busy(`Converting ${all ? "all sprites" : printable(state.selected)}…`, async (progress) => {
      // Many sprites (flat, or a folder's tree) go in shares to workers of their own.
      const answer = all && state.sprites.size >= kPoolSprites
        ? await pool.convert([...state.sprites].map(([name, sprite]) =>
          [name, sprite.bytes, sprite.description.accepted ? sprite.description.frames.length : 0]), options(), state.palette, progress)
        : await client.request("convert", {
          names: all ? null : [state.selected], options: options(), palette: state.palette && state.palette.name, zip: true,
        });
      toolLines(answer.lines);
      if (answer.zip) download(zipName, answer.zip, "application/zip");
      else notice("Nothing was written, so there is no ZIP to save.");
    });
  });

  // The image file that holds the chosen frame, as the manifest of the same
  // run names it.
  $("download-image").addEventListener("click", () => {
    if (!state.view) return;
    const { name } = state.view;
    // The frame on screen: while playing, the one shown now.
    const index = player.animated ? player.current : state.frameIndex;
    busy(`Converting ${printable(name)}…`, async () => {
      const answer = await client.request("convert", {
        names: [name], options: { ...options(), manifest: true, animation: null }, palette: state.palette && state.palette.name, zip: false,
      });
      toolLines(answer.lines.filter((line) => line.stream === "err"));
      const manifest = answer.files.find((file) => file.name.endsWith(".json"));
      const entry = manifest && JSON.parse(new TextDecoder().decode(manifest.bytes)).frames[index];
      const image = entry && answer.files.find((file) => file.name === entry.filename);
      if (image) download(image.name, image.bytes);
      else notice(`No image holds frame ${index} of ${printable(name)}.`);
    });
  });

  // ---- Packing ----

  async function packFiles(files) {
    // Loose images become frames in the order of their names, numbers
    // counted: walk2 before walk10, whatever order the chooser gave.
    const chosen = files.filter((file) => kPackName.test(file.name) || kSpriteName.test(file.name))
      .sort((a, b) => a.name.localeCompare(b.name, "en", { numeric: true }));
    if (chosen.length === 0) return;
    const manifestGiven = chosen.some((file) => /\.json$/i.test(file.name));
    const output = $("pack-output");
    if (!manifestGiven && output.dataset.edited !== "true") {
      const original = chosen.find((file) => kSpriteName.test(file.name));
      const firstImage = chosen.find((file) => /\.(png|pcx)$/i.test(file.name));
      if (original) output.value = original.name;
      else if (firstImage) output.value = stem(firstImage.name) + ".dc6";
    }
    const packed = await busy("Packing…", async () => {
      const read = await readFiles(chosen.map((file) => ({ path: file.name, file })));
      const { files: payload, transfer } = filesForWorker(read.map(({ path, bytes }) => [path, bytes]));
      const answer = await client.request("pack", { files: payload, output: output.value,
                                                    nearest: $("pack-nearest").checked }, transfer);
      toolLines(answer.lines);
      state.packed = answer.sprites;
      $("download-dc6").disabled = answer.sprites.length === 0;
      $("pack-result").textContent = Kelvane.PackPanel.resultText(answer.sprites);
      return answer.sprites;
    });
    // Outside the busy line: listing the sprites has one of its own.
    if (packed && packed.length > 0) await Kelvane.PackPanel.show(packed);
  }

  $("pack-files").addEventListener("change", (event) => {
    packFiles([...event.target.files]);
    event.target.value = "";
  });
  $("pack-output").addEventListener("input", (event) => { event.target.dataset.edited = "true"; });
  $("download-dc6").addEventListener("click", () => {
    for (const sprite of state.packed) download(sprite.name, sprite.bytes);
  });

  // ---- Drag and drop ----

  Kelvane.installDrop(document, {
    notice,
    drop(entries, onPack) {
      if (onPack) {
        packFiles(entries.map((entry) => entry.file));
        return;
      }
      // A dropped folder gives its sprites; its other files are no palette
      // or images to pack unless dropped on their own.
      const sprites = entries.filter((entry) => kSpriteName.test(entry.path));
      const loose = entries.filter((entry) => !entry.inFolder && !kSpriteName.test(entry.path));
      const toPack = loose.filter((entry) => kPackName.test(entry.path));
      const others = loose.filter((entry) => !kPackName.test(entry.path));
      if (sprites.length > 0) openSprites(sprites);
      // Sprites dropped on their own with the files to pack are their originals too.
      const originals = sprites.filter((entry) => !entry.inFolder);
      if (toPack.length > 0) packFiles([...toPack, ...originals].map((entry) => entry.file));
      if (others.length === 1) choosePalette(others[0].file);
      else if (others.length > 1) notice("Drop one palette file at a time.");
    },
  });

  // ---- What the page's other parts (pack_panel.js, animation_save.js) use ----

  Kelvane.page = { $, client, busy, notice, toolLines, download, stem, openSprites, select, options,
                   selected: () => state.selected, view: () => state.view,
                   palette: () => state.palette && state.palette.name };

  // ---- Start ----

  // A key on a file chooser's button opens it, Enter as Space does.
  for (const input of document.querySelectorAll(".button input[type=file]")) {
    input.addEventListener("keydown", (event) => {
      if (event.key === "Enter") {
        event.preventDefault();
        input.click();
      }
    });
  }

  renderList();
  showNothing();
  controls.zoom();
  controls.background();
  choosePalette(null);
})();
