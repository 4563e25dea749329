// The pack panel's results: what the pack wrote, said in one line, and the
// sprites it wrote put into the list and the viewer before anything is saved.
"use strict";

(() => {
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
    const page = Kelvane.page;
    await page.openSprites(sprites.map((sprite) => ({ path: sprite.name, file: new File([sprite.bytes], sprite.name) })));
    await page.select(sprites[0].name);
  }

  Kelvane.PackPanel = { resultText, show };
})();
