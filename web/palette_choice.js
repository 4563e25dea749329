// The run's palette: a palette file tried by the converter and taken only
// when it takes it, the built-in one, and the palette saved in an editor's
// format.
"use strict";

(() => {
  const page = Kelvane.page;
  const { $, state } = page;
  const printable = Kelvane.printable;

  async function choosePalette(file) {
    await page.busy("Reading the palette…", async () => {
      let bytes = null;
      try {
        if (file) bytes = await file.arrayBuffer();
      } catch (error) {
        page.notice(`${printable(file.name)} cannot be read (${error.name}); the palette stays ${$("palette-name").textContent}.`);
        return;
      }
      const message = file ? { name: file.name, bytes: bytes.slice(0) } : {};
      const answer = await page.client.request("palette", message, message.bytes ? [message.bytes] : []);
      page.toolLines(answer.lines.filter((line) => line.stream === "err"));
      if (answer.status === 2 || !answer.rgb) {
        page.notice(`${file ? printable(file.name) : "The built-in palette"} was not taken; the palette stays ${$("palette-name").textContent}.`);
        return;
      }
      state.palette = file ? { name: file.name, bytes } : null;
      state.paletteRgb = answer.rgb;
      $("palette-name").textContent = file ? printable(file.name) : "built-in";
      page.recolour();
    });
  }

  $("palette-file").addEventListener("change", (event) => {
    const [file] = event.target.files;
    if (file) choosePalette(file);
    event.target.value = "";
  });
  $("palette-built-in").addEventListener("click", () => choosePalette(null));

  $("download-palette").addEventListener("click", () => page.busy("Writing the palette…", async () => {
    const extension = $("palette-format").value;
    const answer = await page.client.request("exportPalette", { palette: page.palette(), extension });
    page.toolLines(answer.lines.filter((line) => line.stream === "err"));
    if (answer.file) page.download(answer.file.name, answer.file.bytes);
  }));

  page.choosePalette = choosePalette;
})();
