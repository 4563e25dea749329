// The page's shared parts: what the page holds (the user's sprites, the
// selection, the palette), the worker that runs the core (worker.js) and what
// a fresh one is given again, the workers of long runs, and Cancel.
//
// The page's other parts add their functions to Kelvane.page, in the order
// the page loads them: notices.js, busy.js, files.js, sprite_list.js,
// viewer.js, palette_choice.js, image_save.js, pack_panel.js,
// animation_save.js, and start.js, which starts the page.
"use strict";

window.Kelvane = window.Kelvane || {};

(() => {
  const $ = (id) => document.getElementById(id);

  // The options of the last visit, before anything reads them.
  Kelvane.restoreSettings();

  const state = {
    sprites: new Map(),   // path -> { bytes, description }: the bytes read, kept for a fresh worker
    order: [],            // the sprites' paths in the converter's order, as the core last gave it
    selected: null,       // the selected sprite's name
    view: null,           // its decoded frames: { name, frames, stitched, stage, fillIndex }
    frameIndex: 0,        // the frame chosen in the viewer
    palette: null,        // the chosen palette file: { name, bytes }, or null for the built-in one
    paletteRgb: null,     // the run's palette, red, green, blue
    packed: [],           // the sprites the last pack wrote: [{ name, bytes }]
  };

  const page = {
    $,
    state,
    kSpriteName: /\.dc6$/i,
    kPackName: /\.(json|png|pcx)$/i,
    selected: () => state.selected,
    view: () => state.view,
    palette: () => state.palette && state.palette.name,
  };
  Kelvane.page = page;

  page.client = new Kelvane.CoreClient(async () => {
    // The files the page holds go to the fresh worker; their descriptions stay.
    const requests = [];
    const { files, transfer } = page.filesForWorker([...state.sprites].map(([name, sprite]) => [name, sprite.bytes]));
    if (files.length > 0) requests.push({ kind: "open", data: { files, describe: false }, transfer });
    if (state.palette) {
      const bytes = state.palette.bytes.slice(0);
      requests.push({ kind: "palette", data: { name: state.palette.name, bytes }, transfer: [bytes] });
    }
    return requests;
  });
  // A run over many sprites goes to workers of its own, one per core.
  page.pool = new Kelvane.ConvertPool(Math.min(4, navigator.hardwareConcurrency || 1));
  page.kPoolSprites = 16;

  $("cancel").addEventListener("click", () => {
    page.pool.cancel();
    page.client.cancel();
  });
})();
