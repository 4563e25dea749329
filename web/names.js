// Names as the page prints them: a file's name is the user's, and may hold
// anything a file system allows. Control characters (C0, DEL, C1) and what
// is not valid text are shown as \xNN of each of their UTF-8 bytes, as the
// command-line tools print them; everything else as it is.
"use strict";

window.Kelvane = window.Kelvane || {};

(() => {
  const hex = (byte) => "\\x" + byte.toString(16).toUpperCase().padStart(2, "0");

  function printable(name) {
    let text = "";
    for (let i = 0; i < name.length; ++i) {
      const unit = name.charCodeAt(i);
      if (unit >= 0xd800 && unit <= 0xdbff && i + 1 < name.length) {
        const next = name.charCodeAt(i + 1);
        if (next >= 0xdc00 && next <= 0xdfff) {
          text += name[i] + name[i + 1];
          ++i;
          continue;
        }
      }
      if (unit >= 0xd800 && unit <= 0xdfff) {
        // A lone surrogate: the three bytes it would take, as they cannot be text.
        text += hex(0xe0 | (unit >> 12)) + hex(0x80 | ((unit >> 6) & 0x3f)) + hex(0x80 | (unit & 0x3f));
      } else if (unit < 0x20 || unit === 0x7f) {
        text += hex(unit);
      } else if (unit >= 0x80 && unit <= 0x9f) {
        text += hex(0xc2) + hex(unit);
      } else if (unit === 0xfffd) {
        // What the browser made of bytes that were not UTF-8.
        text += hex(0xef) + hex(0xbf) + hex(0xbd);
      } else {
        text += name[i];
      }
    }
    return text;
  }

  // "1 frame", "2 frames"; "1,000 sprites" with the count grouped.
  function count(n, one, many = one + "s") {
    return `${n.toLocaleString("en")} ${n === 1 ? one : many}`;
  }

  Kelvane.printable = printable;
  Kelvane.count = count;
})();
