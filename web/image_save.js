// Saving images: the ZIP of a run over all sprites or the selected one, and
// the one image that holds the frame on screen.
"use strict";

(() => {
  const page = Kelvane.page;
  const { $, state } = page;
  const printable = Kelvane.printable;

  // The converter's options as the page's controls choose them.
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
      page.notice("Select a sprite first, or save all sprites.");
      return;
    }
    if (state.sprites.size === 0) {
      page.notice("No sprites to save: choose or drop DC6 files.");
      return;
    }
    const zipName = all ? "kelvane-images.zip" : page.stem(state.selected.slice(state.selected.lastIndexOf("/") + 1)) + ".zip";
    page.busy(`Converting ${all ? "all sprites" : printable(state.selected)}…`, async (progress) => {
      // Many sprites (flat, or a folder's tree) go in shares to workers of their own.
      const answer = all && state.sprites.size >= page.kPoolSprites
        ? await page.pool.convert(page.listedNames().map((name) => {
          const { bytes, description } = state.sprites.get(name);
          return [name, bytes, description.accepted ? description.frames.length : 0];
        }), options(), state.palette, progress)
        : await page.client.request("convert", {
          names: all ? null : [state.selected], options: options(), palette: page.palette(), zip: true,
        });
      page.toolLines(answer.lines);
      if (answer.zip) page.download(zipName, answer.zip, "application/zip");
      else page.notice("Nothing was written, so there is no ZIP to save.");
    });
  });

  // The image file that holds the chosen frame, as the manifest of the same
  // run names it.
  $("download-image").addEventListener("click", () => {
    if (!state.view) return;
    const { name } = state.view;
    // The frame on screen: while playing, the one shown now.
    const index = page.player.animated ? page.player.current : state.frameIndex;
    page.busy(`Converting ${printable(name)}…`, async () => {
      const answer = await page.client.request("convert", {
        names: [name], options: { ...options(), manifest: true, animation: null }, palette: page.palette(), zip: false,
      });
      page.toolLines(answer.lines.filter((line) => line.stream === "err"));
      const manifest = answer.files.find((file) => file.name.endsWith(".json"));
      const entry = manifest && JSON.parse(new TextDecoder().decode(manifest.bytes)).frames[index];
      const image = entry && answer.files.find((file) => file.name === entry.filename);
      if (image) page.download(image.name, image.bytes);
      else page.notice(`No image holds frame ${index} of ${printable(name)}.`);
    });
  });

  page.options = options;
})();
