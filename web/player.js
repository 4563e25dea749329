// The player's controls: the keys (Space plays and pauses, the arrows and
// , . step, Home and End), the frame rate as played, onion skin, the
// background behind the frames, and the zoom, or "fit" to the viewer.
//
// The frame shown and the frame chosen in the strip are one: stepping
// chooses the frame, and choosing a frame shows it, so that "Save this
// image" saves what is on screen.
"use strict";

window.Kelvane = window.Kelvane || {};

(() => {
  const $ = (id) => document.getElementById(id);
  const kMaxFit = 8;

  // The keys a control of its own answers: those keep their meaning there.
  function ownsKey(target, key) {
    if (!target || !target.tagName) return false;
    const tag = target.tagName;
    if (tag === "SELECT" || tag === "TEXTAREA") return true;
    if (tag === "INPUT") return target.type !== "checkbox" || key === " ";
    if (tag === "BUTTON") return key === " " || key === "Enter";
    return false;
  }

  class PlayerControls {
    // player, strip: drawing.js's Player and FrameStrip; onChoose(index) is
    // told of the frame chosen.
    constructor(player, strip, onChoose) {
      this.player = player;
      this.strip = strip;
      this.onChoose = onChoose;
      this.paletteRgb = null;
      this.fillIndex = null;

      $("viewer").addEventListener("keydown", (event) => this.key(event));
      $("frames").addEventListener("click", (event) => {
        const option = event.target.closest("#frames [role=option]");
        if (option) this.choose(Number(option.dataset.index), false);
      });
      $("play").addEventListener("click", () => this.toggle());
      $("step").addEventListener("click", () => this.step(1));
      $("step-back").addEventListener("click", () => this.step(-1));
      $("fps").addEventListener("change", () => this.setFps());
      $("onion").addEventListener("change", () => {
        player.onion = $("onion").checked;
        player.draw();
      });
      $("background").addEventListener("change", () => this.background());
      $("background-colour").addEventListener("input", () => this.background());
      $("zoom").addEventListener("input", () => this.zoom());
      $("fit").addEventListener("change", () => this.zoom());
      window.addEventListener("resize", () => { if ($("fit").checked) this.zoom(); });
    }

    // The sprite now shown: its palette and the index its transparent pixels hold.
    shown(paletteRgb, fillIndex) {
      this.paletteRgb = paletteRgb;
      this.fillIndex = fillIndex;
      this.player.onion = $("onion").checked;
      this.setFps();
      this.background();
      this.zoom();
      this.choose(0, false);
    }

    toggle() {
      if (this.player.playing) {
        this.player.pause();
        this.choose(this.player.current, false);
      } else {
        this.player.play();
      }
    }

    step(by) {
      this.player.pause();
      this.player.step(by);
      this.choose(this.player.current, false);
    }

    // Chooses frame index: shown by the player, marked in the strip.
    choose(index, focus) {
      if (this.strip.canvases.length === 0) return;
      const chosen = Math.min(this.strip.canvases.length - 1, Math.max(0, index));
      if (this.player.animated && this.player.current !== chosen) this.player.goTo(chosen);
      this.strip.choose(chosen, focus);
      this.onChoose(chosen);
    }

    key(event) {
      if (event.altKey || event.ctrlKey || event.metaKey || ownsKey(event.target, event.key)) return;
      const frames = this.strip.canvases.length;
      if (frames === 0) return;
      const inStrip = Boolean(event.target.closest && event.target.closest("#frames"));
      const current = this.player.animated ? this.player.current : this.currentChosen();
      let next = null;
      switch (event.key) {
        case " ":
          if (!this.player.animated) return;
          this.toggle();
          break;
        case "ArrowRight": case "ArrowDown": case ".": next = (current + 1) % frames; break;
        case "ArrowLeft": case "ArrowUp": case ",": next = (current + frames - 1) % frames; break;
        case "Home": next = 0; break;
        case "End": next = frames - 1; break;
        default: return;
      }
      event.preventDefault();
      if (next !== null) {
        this.player.pause();
        this.choose(next, inStrip);
      }
    }

    currentChosen() {
      const chosen = $("frames").querySelector("[aria-selected=true]");
      return chosen ? Number(chosen.dataset.index) : 0;
    }

    // The frame rates the converter's animations take ({ min, max, initial }),
    // as the core tells them: the field's range, and its value while the
    // user has not set one.
    setRates(rates) {
      const field = $("fps");
      const untouched = field.value === field.defaultValue;
      field.min = String(rates.min);
      field.max = String(rates.max);
      field.defaultValue = String(rates.initial);
      if (untouched) field.value = String(rates.initial);
      this.player.setRates(rates);
      this.setFps();
    }

    // The rate asked for, as played; a value beyond what is played is said.
    setFps() {
      const field = $("fps");
      const typed = field.value.trim();
      const asked = typed === "" ? NaN : Number(typed);
      const played = this.player.setFps(asked);
      const { min, max } = this.player.rates;
      field.value = String(played);
      $("fps-note").textContent = typed === "" || !Number.isFinite(asked) ? `Not a frame rate: ${played} frames/s is played.`
        : asked !== played ? `${typed} frames/s is outside ${min} to ${max} or not whole: ${played} frames/s is played.` : "";
    }

    background() {
      const choice = $("background").value;
      $("background-colour").hidden = choice !== "colour";
      let colour = null;
      if (choice === "colour") colour = $("background-colour").value;
      if (choice === "transparent-index" && this.paletteRgb && this.fillIndex !== null) {
        const at = 3 * this.fillIndex;
        colour = `rgb(${this.paletteRgb[at]}, ${this.paletteRgb[at + 1]}, ${this.paletteRgb[at + 2]})`;
      }
      for (const canvas of [$("animation"), ...document.querySelectorAll("canvas.frame")]) {
        canvas.classList.toggle("plain", colour !== null);
        canvas.style.backgroundColor = colour || "";
      }
    }

    // The zoom chosen, or with "fit" the largest (up to 8x) at which the
    // animation fits the viewer's width and the window's height.
    zoom() {
      const fit = $("fit").checked;
      $("zoom").disabled = fit;
      let zoom = Number($("zoom").value);
      if (fit) {
        const stage = $("animation");
        const room = $("player").parentElement.clientWidth - 16;
        const height = Math.max(120, window.innerHeight * 0.6);
        zoom = Math.min(kMaxFit, room / stage.width, height / stage.height);
        zoom = zoom >= 1 ? Math.floor(zoom) : Math.max(zoom, 0.05);
      }
      $("zoom-value").textContent = `${Number.isInteger(zoom) ? zoom : zoom.toFixed(2)}x`;
      this.strip.zoom(fit ? Math.min(zoom, Number($("zoom").value)) : zoom);
      this.player.zoom(zoom);
    }
  }

  Kelvane.PlayerControls = PlayerControls;
})();
