// The choices the page remembers across reloads, in the browser's
// localStorage for this page: options, zoom, player settings, palette
// format, colour scheme. Never the files: those stay the user's.
"use strict";

window.Kelvane = window.Kelvane || {};

(() => {
  const kKey = "kelvane-settings";
  // The remembered controls by id: a check box keeps checked, the others value.
  const kControls = ["format", "manifest", "sheet", "transparency", "zip-scope", "palette-format", "zoom", "fit",
                     "fps", "background", "background-colour", "onion", "scheme", "animation-files",
                     "animation-format", "pack-nearest"];

  function read() {
    try {
      const stored = JSON.parse(window.localStorage.getItem(kKey) || "{}");
      return stored && typeof stored === "object" ? stored : {};
    } catch (error) {
      return {};  // storage refused (private mode, a file page's policy) or damaged
    }
  }

  function save() {
    const values = {};
    for (const id of kControls) {
      const control = document.getElementById(id);
      values[id] = control.type === "checkbox" ? control.checked : control.value;
    }
    try {
      window.localStorage.setItem(kKey, JSON.stringify(values));
    } catch (error) {
      // Not remembered, which loses nothing of this visit.
    }
  }

  function applyScheme() {
    const scheme = document.getElementById("scheme").value;
    if (scheme === "light" || scheme === "dark") document.documentElement.dataset.scheme = scheme;
    else delete document.documentElement.dataset.scheme;
  }

  // Puts the remembered values into the controls (before the page reads
  // them), and remembers every later change.
  function restoreSettings() {
    const stored = read();
    for (const id of kControls) {
      const control = document.getElementById(id);
      if (!(id in stored)) continue;
      const value = stored[id];
      if (control.type === "checkbox") {
        control.checked = value === true;
      } else if (typeof value === "string") {
        // Only a value the control offers: a stored value is no command.
        if (control.tagName === "SELECT" && ![...control.options].some((option) => option.value === value)) continue;
        control.value = value;
      }
    }
    applyScheme();
    // Saved once the page has settled the value (a frame rate outside the
    // range is shown as the rate played).
    const later = () => setTimeout(save, 0);
    for (const id of kControls) document.getElementById(id).addEventListener("change", later);
    document.getElementById("zoom").addEventListener("input", later);
    document.getElementById("scheme").addEventListener("change", applyScheme);
  }

  Kelvane.restoreSettings = restoreSettings;
})();
