// The viewer: the selected sprite decoded by the core, its frames in the
// strip and its animation in the player, redrawn when the palette changes.
"use strict";

(() => {
  const page = Kelvane.page;
  const { $, state } = page;
  const printable = Kelvane.printable;

  // The frame rates the page's field offers, until the core tells its own.
  function ratesOfField(field) {
    return { min: Number(field.min), max: Number(field.max), initial: Number(field.defaultValue) };
  }

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
  }, ratesOfField($("fps")));
  const controls = new Kelvane.PlayerControls(player, strip, (index) => { state.frameIndex = index; });

  const zoom = () => Number($("zoom").value);

  function showNothing() {
    state.view = null;
    strip.show([], state.paletteRgb, zoom());
    player.clear();
    $("viewer-title").textContent = "No sprite selected";
    $("download-image").disabled = true;
    delete $("viewer").dataset.drawn;
  }

  async function select(name) {
    state.selected = name;
    page.markSelected();
    const sprite = state.sprites.get(name);
    delete $("viewer").dataset.drawn;
    if (!sprite || !sprite.description.accepted) {
      showNothing();
      $("viewer-title").textContent = printable(name);
      $("player-note").textContent = "The converter refused this file: see its notices.";
      return;
    }
    await page.busy(`Decoding ${printable(name)}…`, async () => {
      const answer = await page.client.request("decode", { name });
      if (state.selected !== name) return;
      const offsets = sprite.description.frames;
      const frames = answer.frames.map((frame, index) => ({ ...frame, xOffset: offsets[index].xOffset,
                                                            yOffset: offsets[index].yOffset }));
      const stitched = sprite.description.stitched || null;
      state.view = { name, frames, stitched, stage: answer.canvas, fillIndex: fillIndexOf(frames) };
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
    const { name, frames, stitched, stage } = state.view;
    $("viewer-title").textContent = printable(name);
    strip.show(frames, state.paletteRgb, zoom());
    player.show(frames, strip.canvases, stitched, stage, zoom());
    controls.shown(state.paletteRgb, state.view.fillIndex);
    $("download-image").disabled = false;
  }

  // The frames in the run's palette, once it changed.
  function recolour() {
    if (!state.view) return;
    strip.recolour(state.view.frames, state.paletteRgb);
    player.draw();
    controls.shown(state.paletteRgb, state.view.fillIndex);
  }

  Object.assign(page, { select, showNothing, recolour, player, controls });
})();
