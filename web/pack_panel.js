// The pack panel: manifests with their images, or loose images with their
// original, packed by kelvane-pack in the worker; what the pack wrote said in
// one line, and the sprites it wrote put into the list and the viewer before
// anything is saved.
"use strict";

(() => {
  const page = Kelvane.page;
  const { $, state, kSpriteName, kPackName } = page;
  const bytesText = (count) => Kelvane.count(count, "byte");
  const printable = Kelvane.printable;

  function resultText(sprites) {
    if (sprites.length === 0) return "Nothing was packed: see the notices.";
    const parts = sprites.map((sprite) => `${printable(sprite.name)} (${bytesText(sprite.bytes.length)}` +
                                          (sprite.original ? `, with the original ${printable(sprite.original)})` : ")"));
    // Loose images without an original have nothing to tell their offsets.
    const unplaced = sprites.some((sprite) => sprite.loose && !sprite.original)
      ? " Every frame is at offsets 0,0: choose the original sprite with the images to take its offsets." : "";
    return `${parts.join(", ")} packed: shown in the list, not saved yet.${unplaced}`;
  }

  // Lists the packed sprites (a listed sprite of the same name gives way to
  // its packed one) and shows the first.
  async function show(sprites) {
    await page.openSprites(sprites.map((sprite) => ({ path: sprite.name, file: new File([sprite.bytes], sprite.name) })));
    await page.select(sprites[0].name);
  }

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
      else if (firstImage) output.value = page.stem(firstImage.name) + ".dc6";
    }
    const packed = await page.busy("Packing…", async () => {
      const read = await page.readFiles(chosen.map((file) => ({ path: file.name, file })));
      const { files: payload, transfer } = page.filesForWorker(read.map(({ path, bytes }) => [path, bytes]));
      const answer = await page.client.request("pack", { files: payload, output: output.value,
                                                         nearest: $("pack-nearest").checked }, transfer);
      page.toolLines(answer.lines);
      state.packed = answer.sprites;
      $("download-dc6").disabled = answer.sprites.length === 0;
      $("pack-result").textContent = resultText(answer.sprites);
      return answer.sprites;
    });
    // Outside the busy line: listing the sprites has one of its own.
    if (packed && packed.length > 0) await show(packed);
  }

  $("pack-files").addEventListener("change", (event) => {
    packFiles([...event.target.files]);
    event.target.value = "";
  });
  $("pack-output").addEventListener("input", (event) => { event.target.dataset.edited = "true"; });
  $("download-dc6").addEventListener("click", () => {
    for (const sprite of state.packed) page.download(sprite.name, sprite.bytes);
  });

  page.packFiles = packFiles;
})();
