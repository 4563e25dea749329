// The worker's glue to the core (kelvane-core.js, compiled from the C++
// core): the module once it is ready, C strings in its memory, and the
// tools' entry points run with a command line as the tools take it, what
// they print caught line by line.
"use strict";
/* exported core, ready, withCString, convert, pack */

// The WebAssembly build has no threads: one file at a time, and the
// converter starts none.
const kThreadArguments = ["-j", "1"];

let core = null;        // the module, once ready
let output = null;      // the lines of the command running now

const ready = createKelvaneCore({
  print: (text) => output && output.push({ stream: "out", text }),
  printErr: (text) => output && output.push({ stream: "err", text }),
}).then((module) => {
  core = module;
});

// Copies a JavaScript string into the core's memory as a C string.
function cString(text, blocks) {
  const size = core.lengthBytesUTF8(text) + 1;
  const pointer = core._malloc(size);
  if (!pointer) throw new Error("not enough memory");
  core.stringToUTF8(text, pointer, size);
  blocks.push(pointer);
  return pointer;
}

// Runs a tool's entry point with argv; returns its exit status and what it
// printed, line by line.
function runTool(entry, argv) {
  const blocks = [];
  output = [];
  try {
    const array = core._malloc(4 * (argv.length + 1));
    if (!array) throw new Error("not enough memory");
    blocks.push(array);
    argv.forEach((argument, i) => { core.HEAP32[(array >> 2) + i] = cString(argument, blocks); });
    core.HEAP32[(array >> 2) + argv.length] = 0;
    core.FS.chdir("/");
    const status = entry(argv.length, array);
    return { status, lines: output };
  } finally {
    // -C moves the tool into a folder that may be removed next.
    core.FS.chdir("/");
    output = null;
    for (const block of blocks) core._free(block);
  }
}

// Calls entry with text as a C string for the length of the call.
function withCString(text, entry) {
  const blocks = [];
  try {
    return entry(cString(text, blocks));
  } finally {
    for (const block of blocks) core._free(block);
  }
}

function convert(argv) { return runTool(core._KelvaneConvert, ["kelvane-convert", "-q", ...kThreadArguments, ...argv]); }
function pack(argv) { return runTool(core._KelvanePack, ["kelvane-pack", ...argv]); }
