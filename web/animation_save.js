// Save animation: the selected sprite's animation as kelvane-convert --anim
// writes it, in the format chosen beside the button and at the frame rate
// the player plays; the same choice puts the animations into the ZIP.
"use strict";

(() => {
  const page = Kelvane.page;
  const { $ } = page;

  // The frame rate set, as the player plays it.
  function fps() { return page.player.rateFor(Number($("fps").value)); }

  function format() { return $("animation-format").value === "gif" ? "gif" : "apng"; }

  // The converter's options for the animation, when it is wanted.
  function options(wanted) { return wanted ? { animation: format(), fps: fps() } : {}; }

  $("save-animation").addEventListener("click", () => {
    const name = page.selected();
    if (!name || !page.view()) return;
    const extension = format();
    page.busy(`Saving the animation of ${Kelvane.printable(name)}…`, async () => {
      const answer = await page.client.request("convert", {
        names: [name], options: { ...page.options(), ...options(true) }, palette: page.palette(), zip: false,
      });
      page.toolLines(answer.lines.filter((line) => line.stream === "err"));
      // A sprite of a folder (a/b/x.dc6) has its images beside it, by its own name.
      const own = name.slice(name.lastIndexOf("/") + 1);
      const file = answer.files.find((written) => written.name === page.stem(own) + "." + extension);
      if (file) page.download(file.name, file.bytes, extension === "gif" ? "image/gif" : "image/apng");
      else page.notice(`${Kelvane.printable(name)} has no animation: only sprites whose frames have offsets, two or more, are animated.`);
    });
  });

  Kelvane.AnimationSave = { options };
})();
