// Drawing the selected sprite: the frames the core decoded (palette indices
// and opaque marks), coloured with the run's palette, and the animation of
// the frames at their offsets.
"use strict";

window.Kelvane = window.Kelvane || {};

(() => {
  // Beyond this many pixels a side the animation leaves the offsets out: a
  // sprite's numbers never decide how large a canvas the page makes.
  const kMaxStage = 4096;
  const kOriginArm = 5;
  // The most pixels of one sprite the core decodes for drawing (the
  // bridge's kMaxShownPixels).
  const kDrawingBudget = 64 * 1024 * 1024;

  // The frame's pixels in colour: the palette's entry where a literal run
  // wrote the pixel, transparent (alpha 0) elsewhere.
  function frameImage(frame, paletteRgb) {
    const image = new ImageData(frame.width, frame.height);
    const out = image.data;
    const { indices, opaque } = frame;
    for (let i = 0, o = 0; i < indices.length; ++i, o += 4) {
      if (!opaque[i]) continue;
      const entry = 3 * indices[i];
      out[o] = paletteRgb[entry];
      out[o + 1] = paletteRgb[entry + 1];
      out[o + 2] = paletteRgb[entry + 2];
      out[o + 3] = 255;
    }
    return image;
  }

  function setZoom(canvas, zoom) {
    canvas.style.width = canvas.width * zoom + "px";
    canvas.style.height = canvas.height * zoom + "px";
    // The checkerboard keeps its squares whatever the zoom.
  }

  // The frame canvases, each at the frame's size; frames the core did not
  // decode for display say why instead.
  class FrameStrip {
    constructor(container) {
      this.container = container;
      this.canvases = [];
    }

    show(frames, paletteRgb, zoom) {
      this.container.replaceChildren();
      this.canvases = frames.map((frame, index) => {
        // Each frame is an option of the strip's list box: chosen with the
        // mouse or the keys, it is the one "Save this image" saves.
        const item = document.createElement("div");
        item.setAttribute("role", "option");
        item.setAttribute("aria-selected", "false");
        item.setAttribute("aria-label", `Frame ${index}, ${frame.width} x ${frame.height}`);
        item.tabIndex = -1;
        item.dataset.index = String(index);
        const caption = document.createElement("span");
        caption.className = "caption";
        caption.textContent = `${index}: ${frame.width} x ${frame.height}`;
        let canvas = null;
        if (frame.shown) {
          canvas = document.createElement("canvas");
          canvas.className = "frame";
          canvas.dataset.index = String(index);
          canvas.width = frame.width;
          canvas.height = frame.height;
          item.append(canvas);
        } else {
          const note = document.createElement("p");
          note.className = "unshown";
          const pixels = Math.max(0, frame.width) * Math.max(0, frame.height);
          note.textContent = pixels === 0 ? `Frame ${index} has no pixels to show.`
            : pixels > kDrawingBudget
              ? `Frame ${index} (${frame.width} x ${frame.height}) is too large to show here; Save converts it.`
              : `Frame ${index} (${frame.width} x ${frame.height}) is not drawn: the frames before it used the page's ` +
                "drawing budget for one sprite. Save converts it.";
          item.append(note);
        }
        item.append(caption);
        this.container.append(item);
        return canvas;
      });
      this.recolour(frames, paletteRgb);
      this.zoom(zoom);
    }

    recolour(frames, paletteRgb) {
      frames.forEach((frame, index) => {
        const canvas = this.canvases[index];
        if (canvas) canvas.getContext("2d").putImageData(frameImage(frame, paletteRgb), 0, 0);
      });
    }

    zoom(zoom) {
      for (const canvas of this.canvases) if (canvas) setZoom(canvas, zoom);
    }

    // Marks frame index as the chosen one; focus moves to it when asked.
    choose(index, focus) {
      for (const item of this.container.children) {
        const chosen = Number(item.dataset.index) === index;
        item.setAttribute("aria-selected", String(chosen));
        item.tabIndex = chosen ? 0 : -1;
        if (chosen && focus) item.focus();
      }
    }
  }

  // A side of the stage: a whole number of pixels the page draws.
  const fitsStage = (side) => Number.isInteger(side) && side >= 1 && side <= kMaxStage;

  // The animation: one frame at a time at its offsets, on the canvas the
  // converter's animation file has, with the origin marked; or, for a
  // stitched sprite, its one image.
  class Player {
    // rates: the frame rates played ({ min, max, initial }), until the core
    // tells its own (setRates).
    constructor(canvas, onFrame, rates) {
      this.canvas = canvas;
      this.onFrame = onFrame;
      this.timer = null;
      this.rates = rates;
      this.fps = rates.initial;
      this.onion = false;
      this.clear();
    }

    clear() {
      this.pause();
      this.frames = [];
      this.sources = [];
      this.current = 0;
      this.canvas.width = 1;
      this.canvas.height = 1;
      this.canvas.dataset.frame = "";
      delete this.canvas.dataset.originX;
      delete this.canvas.dataset.originY;
      this.note = "";
    }

    // frames: the decoded frames with their offsets; sources: their
    // canvases (null where not shown); stitched: the converter's places of
    // the frames in the one image, or null; stage: the canvas of the
    // converter's animation ({ x, y, w, h }: the smallest offsets and the
    // size, as its manifest's meta.canvas gives them), or null.
    show(frames, sources, stitched, stage, zoom) {
      this.clear();
      this.frames = frames;
      this.sources = sources;
      this.stitched = stitched;
      this.layout(stage);
      this.current = 0;
      this.draw();
      this.zoom(zoom);
    }

    get animated() { return !this.stitched && this.frames.length > 1; }

    layout(stage) {
      if (this.stitched) {
        const fits = this.stitched.width <= kMaxStage && this.stitched.height <= kMaxStage;
        this.place = (index) => this.stitched.places[index];
        this.canvas.width = fits ? Math.max(1, this.stitched.width) : 1;
        this.canvas.height = fits ? Math.max(1, this.stitched.height) : 1;
        this.origin = null;
        this.note = fits ? "The stitched image, as the converter writes it." : "The stitched image is too large to show here.";
        return;
      }
      if (stage && fitsStage(stage.w) && fitsStage(stage.h) && Number.isInteger(stage.x) && Number.isInteger(stage.y)) {
        // Where offset 0, 0 lies on the stage: outside it when every frame
        // lies to one side of the origin.
        this.origin = { x: -stage.x, y: -stage.y };
        this.place = (index) => ({ x: this.frames[index].xOffset - stage.x, y: this.frames[index].yOffset - stage.y });
        this.canvas.width = stage.w;
        this.canvas.height = stage.h;
        this.canvas.dataset.originX = String(this.origin.x);
        this.canvas.dataset.originY = String(this.origin.y);
        const marked = this.origin.x >= 0 && this.origin.x <= stage.w && this.origin.y >= 0 && this.origin.y <= stage.h;
        this.note = "Each frame at its offsets, on the saved animation's canvas" +
                    (marked ? "; + marks the origin." : "; the origin lies outside it.");
        return;
      }
      const widest = Math.max(1, ...this.frames.map((frame) => Math.min(kMaxStage, frame.width)));
      const tallest = Math.max(1, ...this.frames.map((frame) => Math.min(kMaxStage, frame.height)));
      this.origin = null;
      this.place = () => ({ x: 0, y: 0 });
      this.canvas.width = widest;
      this.canvas.height = tallest;
      this.note = this.frames.some((frame) => frame.xOffset !== 0 || frame.yOffset !== 0)
        ? "The offsets are too far apart to show: frames drawn at the corner."
        : "The frames have no offsets: each drawn at the corner.";
    }

    draw() {
      const context = this.canvas.getContext("2d");
      context.clearRect(0, 0, this.canvas.width, this.canvas.height);
      if (this.stitched) {
        if (this.canvas.width > 1 || this.canvas.height > 1) {
          this.sources.forEach((source, index) => {
            const at = this.place(index);
            if (source && at) context.drawImage(source, at.x, at.y);
          });
        }
        this.canvas.dataset.frame = "";
      } else if (this.frames.length > 0) {
        if (this.onion && this.animated) this.drawGhosts(context);
        const source = this.sources[this.current];
        const at = this.place(this.current);
        if (source) context.drawImage(source, at.x, at.y);
        if (this.origin) this.markOrigin(context);
        this.canvas.dataset.frame = String(this.current);
      }
      this.onFrame(this);
    }

    // Onion skin: the frames before and after the current one, faint, under it.
    drawGhosts(context) {
      const count = this.frames.length;
      context.save();
      context.globalAlpha = 0.3;
      for (const index of new Set([(this.current + count - 1) % count, (this.current + 1) % count])) {
        if (index === this.current) continue;
        const source = this.sources[index];
        const at = this.place(index);
        if (source) context.drawImage(source, at.x, at.y);
      }
      context.restore();
    }

    markOrigin(context) {
      const { x, y } = this.origin;
      context.fillStyle = "#e0218a";
      context.fillRect(x - kOriginArm, y, 2 * kOriginArm + 1, 1);
      context.fillRect(x, y - kOriginArm, 1, 2 * kOriginArm + 1);
    }

    step(by = 1) {
      if (!this.animated) return;
      const count = this.frames.length;
      this.current = (((this.current + by) % count) + count) % count;
      this.draw();
    }

    // Shows frame index (clamped to the frames there are).
    goTo(index) {
      if (this.frames.length === 0) return;
      this.current = Math.min(this.frames.length - 1, Math.max(0, index));
      this.draw();
    }

    get playing() { return this.timer !== null; }

    play() {
      if (!this.animated || this.playing) return;
      this.timer = setInterval(() => this.step(), 1000 / this.fps);
      this.onFrame(this);
    }

    pause() {
      if (this.timer !== null) clearInterval(this.timer);
      this.timer = null;
      if (this.onFrame && this.frames) this.onFrame(this);
    }

    // The frame rates the converter's animations take ({ min, max, initial }).
    setRates(rates) {
      this.rates = rates;
      return this.setFps(this.fps);
    }

    // The rate fps frames a second is played at: whole, within the rates the
    // converter's animations take; the rate played now when fps is no number.
    rateFor(fps) {
      return Number.isFinite(fps) ? Math.min(this.rates.max, Math.max(this.rates.min, Math.round(fps))) : this.fps;
    }

    // Plays at fps frames a second (rateFor); gives the rate played.
    setFps(fps) {
      this.fps = this.rateFor(fps);
      if (this.playing) {
        this.pause();
        this.play();
      }
      return this.fps;
    }

    zoom(zoom) { setZoom(this.canvas, zoom); }
  }

  Kelvane.FrameStrip = FrameStrip;
  Kelvane.Player = Player;
})();
