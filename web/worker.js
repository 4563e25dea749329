// The page's worker: the core (kelvane-core.js, compiled from the C++ core)
// and the in-memory file system it works on. The page sends the user's files
// and asks for the tools' runs; the worker writes the files into the file
// system, runs exactly the command lines the tools take, and sends back what
// they wrote and said. Nothing here reads a sprite or writes an image: the
// core does, and the bytes are the tools' bytes.
//
// Folders of the file system:
//   /sprites    the sprites the user opened, under their own names; a
//               conversion writes into its PCXFiles, as the converter does
//               by default, so that its notices name the files as a run in
//               the user's own folder would, and the page takes them out
//   /palettes   the palette file the user chose; runs that only settle a
//               palette work here, so that its notices name it as the user does
//   /pack/N     the files of one pack request
//   /runs/N     the output folder of one run, emptied and removed after it
"use strict";

// The WebAssembly build has no threads: one file at a time, and the
// converter starts none.
const kThreadArguments = ["-j", "1"];

let core = null;        // the module, once ready
let output = null;      // the lines of the command running now
let runNumber = 0;

const ready = createKelvaneCore({
  print: (text) => output && output.push({ stream: "out", text }),
  printErr: (text) => output && output.push({ stream: "err", text }),
}).then((module) => {
  core = module;
  for (const folder of ["/sprites", "/palettes", "/pack", "/runs"]) core.FS.mkdir(folder);
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

// A plain file name: no folder, nothing the file system reads as one, and no
// backslash, which some ZIP readers take for a folder of the names written
// after it.
function safeName(name) {
  return typeof name === "string" && name !== "" && name !== "." && name !== ".." && !/[/\\\0]/.test(name);
}

// The sprite file name a manifest gives, when it is a plain name ending in
// .dc6 (the packer says why it refuses any other); null when the manifest
// cannot be read as JSON at all.
function manifestSprite(path) {
  try {
    const name = JSON.parse(new TextDecoder().decode(core.FS.readFile(path))).meta.sprite;
    return safeName(name) && /\.dc6$/i.test(name) ? name : null;
  } catch (error) {
    return null;
  }
}

function writeFile(path, bytes) {
  core.FS.writeFile(path, new Uint8Array(bytes), { canOwn: true });
}

function removeTree(path) {
  const FS = core.FS;
  for (const name of FS.readdir(path)) {
    if (name === "." || name === "..") continue;
    const child = path + "/" + name;
    if (FS.isDir(FS.lstat(child).mode)) removeTree(child);
    else FS.unlink(child);
  }
  FS.rmdir(path);
}

// The files a run wrote into its folder, sorted by name, and the folder
// removed; none when the run made no folder.
function takeFiles(folder) {
  const FS = core.FS;
  if (!FS.analyzePath(folder).exists) return [];
  const names = FS.readdir(folder).filter((name) => name !== "." && name !== ".." &&
                                                    FS.isFile(FS.lstat(folder + "/" + name).mode));
  names.sort((a, b) => (a < b ? -1 : a > b ? 1 : 0));
  const files = names.map((name) => ({ name, bytes: FS.readFile(folder + "/" + name) }));
  removeTree(folder);
  return files;
}

// The converter's own output folder among the sprites, made afresh by each run.
const kSpriteOutput = "/sprites/PCXFiles";

function clearSpriteOutput() {
  if (core.FS.analyzePath(kSpriteOutput).exists) removeTree(kSpriteOutput);
}

function newRunFolder(parent) {
  const folder = `${parent}/${++runNumber}`;
  core.FS.mkdir(folder);
  return folder;
}

function paletteArguments(palette, folder = "/palettes/") {
  return palette ? ["-p", folder + palette] : [];
}

// The converter's options for the page's choices.
function optionArguments(options) {
  const argv = ["-f", options.format === "png" ? "png" : "pcx"];
  if (options.manifest) argv.push("--json");
  if (options.sheet) argv.push("--sheet");
  if (!options.transparency) argv.push("--no-transparency");
  if (options.animation) argv.push("--anim", options.animation === "gif" ? "gif" : "apng", "--fps", String(options.fps));
  return argv;
}

const requests = {
  // Writes the sprites into /sprites and describes each for the list.
  // A worker started afresh gets the files again without describe.
  open({ files, describe }) {
    const sprites = [];
    const refused = files.map((file) => file.name).filter((name) => !safeName(name));
    for (const file of files) {
      if (safeName(file.name)) writeFile("/sprites/" + file.name, file.bytes);
    }
    if (!describe) return { sprites, refused };
    core.FS.chdir("/sprites");
    for (const file of files) {
      if (!safeName(file.name)) continue;
      const text = core.UTF8ToString(withCString(file.name, core._KelvaneDescribeSprite));
      sprites.push({ name: file.name, description: JSON.parse(text) });
    }
    return { sprites, refused };
  },

  // Settles the palette as a run of the converter does and gives it back in
  // red, green, blue, as --export-palette writes a .act file.
  palette({ name, bytes }) {
    if (name !== undefined) {
      if (!safeName(name)) return { status: 2, lines: [], rgb: null };
      writeFile("/palettes/" + name, bytes);
    }
    const folder = newRunFolder("/runs");
    const run = convert(["-C", "/palettes", "-o", folder, ...paletteArguments(name, ""), "--export-palette",
                         folder + "/run.act"]);
    const written = takeFiles(folder).find((file) => file.name === "run.act");
    return { status: run.status, lines: run.lines, rgb: written ? written.bytes : null };
  },

  // The run's palette in an editor's format.
  exportPalette({ palette, extension }) {
    const folder = newRunFolder("/runs");
    const target = "kelvane-palette." + extension;
    const run = convert(["-C", "/palettes", "-o", folder, ...paletteArguments(palette, ""), "--export-palette",
                         folder + "/" + target]);
    const written = takeFiles(folder).find((file) => file.name === target);
    return { status: run.status, lines: run.lines, file: written || null };
  },

  // The decoded frames of one sprite, and for a stitched sprite where the
  // converter puts each frame in its one image (from the manifest it writes).
  decode({ name }) {
    if (!safeName(name)) return { frames: [] };
    core.FS.chdir("/sprites");
    const block = withCString(name, core._KelvaneDecodeSprite);
    const frames = [];
    if (block) {
      const header = block >> 2;
      const count = core.HEAP32[header];
      let at = block + 4 * (1 + 3 * count);
      for (let i = 0; i < count; ++i) {
        const width = core.HEAP32[header + 1 + 3 * i], height = core.HEAP32[header + 2 + 3 * i];
        const shown = core.HEAP32[header + 3 + 3 * i] === 1;
        const frame = { width, height, shown };
        if (shown) {
          const pixels = width * height;
          frame.indices = core.HEAPU8.slice(at, at + pixels);
          frame.opaque = core.HEAPU8.slice(at + pixels, at + 2 * pixels);
          at += 2 * pixels;
        }
        frames.push(frame);
      }
      core._KelvaneRelease(block);
    }
    let stitched = null;
    if (frames.length > 0) {
      clearSpriteOutput();
      convert(["-C", "/sprites", "--json", "--", name]);
      const manifest = takeFiles(kSpriteOutput).find((file) => file.name.endsWith(".json"));
      if (manifest) {
        const parsed = JSON.parse(new TextDecoder().decode(manifest.bytes));
        if (parsed.meta.layout === "stitched" && parsed.meta.size) {
          stitched = { width: parsed.meta.size.w, height: parsed.meta.size.h,
                       places: parsed.frames.map((entry) => ({ x: entry.frame.x, y: entry.frame.y })) };
        }
      }
    }
    return { frames, stitched };
  },

  // A conversion run: every file it wrote, or those files as one ZIP, at
  // its root, in name order.
  convert({ names, options, palette, zip }) {
    const files = names ? names.filter(safeName) : [];
    clearSpriteOutput();
    const run = convert(["-C", "/sprites", ...optionArguments(options), ...paletteArguments(palette), "--", ...files]);
    const written = takeFiles(kSpriteOutput);
    const result = { status: run.status, lines: run.lines, count: written.length };
    if (zip) {
      const entries = {};
      // PNG files are compressed already; the rest deflates well.
      for (const file of written) entries[file.name] = [file.bytes, { level: file.name.endsWith(".png") ? 0 : 6 }];
      result.zip = written.length > 0 ? fflate.zipSync(entries) : null;
    } else {
      result.files = written;
    }
    return result;
  },

  // kelvane-pack on manifests with their images, or on loose images, with
  // an original sprite where there is one: a sprite among the files (with
  // one manifest, whatever its name; with several, the one each names), else
  // the listed sprite the manifest names. Loose images take the header
  // fields and the offsets of the sprite among them. Each manifest is one
  // run of the tool, written into a folder of its own under the sprite's
  // name (an original beside it never stands in the way); output names the
  // sprite of loose images. Gives the sprites written and their originals.
  pack({ files, output, nearest }) {
    const FS = core.FS;
    const folder = newRunFolder("/pack");
    const out = folder + "/out";
    FS.mkdir(out);
    const names = files.map((file) => file.name).filter(safeName);
    for (const file of files) if (safeName(file.name)) writeFile(folder + "/" + file.name, file.bytes);
    const manifests = names.filter((name) => /\.json$/i.test(name));
    const sprites = names.filter((name) => /\.dc6$/i.test(name));
    const nearestArguments = nearest ? ["--nearest"] : [];
    const lines = [];
    const written = [];
    let status = 0;
    const take = (run, name, original, loose = false) => {
      lines.push(...run.lines);
      status = Math.max(status, run.status);
      if (run.status !== 2 && FS.analyzePath(out + "/" + name).exists) {
        written.push({ name, bytes: FS.readFile(out + "/" + name), original, loose });
        FS.unlink(out + "/" + name);
      }
    };
    if (manifests.length > 0) {
      for (const manifest of manifests) {
        const spriteName = manifestSprite(folder + "/" + manifest);
        let original = null, like = null;
        if (manifests.length === 1 && sprites.length === 1) {
          original = like = sprites[0];
        } else if (spriteName && sprites.includes(spriteName)) {
          original = like = spriteName;
        } else if (spriteName && FS.analyzePath("/sprites/" + spriteName).exists) {
          original = spriteName;
          like = "/sprites/" + spriteName;
        }
        if (spriteName && written.some((sprite) => sprite.name === spriteName)) {
          lines.push({ stream: "err", text: `kelvane-pack: ${spriteName}: was already written in this run and was not replaced` });
          status = 2;
          continue;
        }
        // A name the tool refuses goes to it as it stands, for its refusal.
        const argv = ["-C", folder, ...nearestArguments, ...(like ? ["--like", like] : []),
                      ...(spriteName ? ["-o", "out/" + spriteName] : []), "--", manifest];
        take(pack(argv), spriteName, original);
      }
    } else {
      if (!safeName(output)) throw new Error("no name for the packed sprite");
      const images = names.filter((name) => /\.(png|pcx)$/i.test(name));
      const like = sprites[0];
      const offsets = [];
      if (like) {
        FS.chdir(folder);
        const description = JSON.parse(core.UTF8ToString(withCString(like, core._KelvaneDescribeSprite)));
        FS.chdir("/");
        if (description.accepted) {
          description.frames.slice(0, images.length).forEach((frame, i) => {
            if (frame.xOffset !== 0 || frame.yOffset !== 0) offsets.push("--offset", `${i}:${frame.xOffset},${frame.yOffset}`);
          });
        }
      }
      const argv = ["-C", folder, "-o", "out/" + output, ...nearestArguments, ...(like ? ["--like", like] : []),
                    ...offsets, "--", ...images];
      take(pack(argv), output, like || null, true);
    }
    removeTree(folder);
    return { status, lines, sprites: written };
  },
};

self.onmessage = async (event) => {
  const { id, kind } = event.data;
  try {
    await ready;
    const result = requests[kind](event.data);
    const transfer = [];
    for (const value of [result.zip, result.rgb, result.file && result.file.bytes]) if (value) transfer.push(value.buffer);
    for (const list of [result.files, result.sprites]) if (list) for (const file of list) if (file.bytes) transfer.push(file.bytes.buffer);
    if (result.frames) for (const frame of result.frames) if (frame.shown) transfer.push(frame.indices.buffer, frame.opaque.buffer);
    self.postMessage({ id, ok: true, result }, transfer);
  } catch (error) {
    // The core stopped (it aborts only on a fault of its own): this worker
    // cannot go on, and the page starts a fresh one.
    const reason = error && error.errno !== undefined ? `file system error ${error.errno}` : String(error && error.message || error);
    self.postMessage({ id, ok: false, error: reason });
  }
};
