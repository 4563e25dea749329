// The page's start: files dropped anywhere sent where they belong, the file
// choosers' keys, and the page's first state (an empty list, no sprite, the
// player's controls, the built-in palette).
"use strict";

(() => {
  const page = Kelvane.page;
  const { kSpriteName, kPackName } = page;

  Kelvane.installDrop(document, {
    notice: page.notice,
    drop(entries, onPack) {
      if (onPack) {
        page.packFiles(entries.map((entry) => entry.file));
        return;
      }
      // A dropped folder gives its sprites; its other files are no palette
      // or images to pack unless dropped on their own.
      const sprites = entries.filter((entry) => kSpriteName.test(entry.path));
      const loose = entries.filter((entry) => !entry.inFolder && !kSpriteName.test(entry.path));
      const toPack = loose.filter((entry) => kPackName.test(entry.path));
      const others = loose.filter((entry) => !kPackName.test(entry.path));
      if (sprites.length > 0) page.openSprites(sprites);
      // Sprites dropped on their own with the files to pack are their originals too.
      const originals = sprites.filter((entry) => !entry.inFolder);
      if (toPack.length > 0) page.packFiles([...toPack, ...originals].map((entry) => entry.file));
      if (others.length === 1) page.choosePalette(others[0].file);
      else if (others.length > 1) page.notice("Drop one palette file at a time.");
    },
  });

  // A key on a file chooser's button opens it, Enter as Space does.
  for (const input of document.querySelectorAll(".button input[type=file]")) {
    input.addEventListener("keydown", (event) => {
      if (event.key === "Enter") {
        event.preventDefault();
        input.click();
      }
    });
  }

  page.renderList();
  page.showNothing();
  page.controls.zoom();
  page.controls.background();
  // The core's frame rates reach the player before the palette settles.
  page.client.request("frameRates").then((rates) => page.controls.setRates(rates), () => {});
  page.choosePalette(null);
})();
