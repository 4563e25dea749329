// The page's worker: the core (kelvane-core.js, compiled from the C++ core)
// and the in-memory file system it works on. The page sends the user's files
// and asks for the tools' runs; the worker writes the files into the file
// system, runs exactly the command lines the tools take, and sends back what
// they wrote and said. Nothing here reads a sprite or writes an image: the
// core does, and the bytes are the tools' bytes.
//
// Folders of the file system:
//   /sprites    the sprites the user opened, under their own names, or
//               under their paths in the folder the user chose (a/x.dc6);
//               a conversion writes into each folder's PCXFiles, as the
//               converter does by default, so that its notices name the
//               files as a run in the user's own folder would, and the page
//               takes them out
//   /palettes   the palette file in use; runs that only settle a palette
//               work here, so that its notices name it as the user does
//   /trial/N    a palette file being tried: it replaces the one in
//               /palettes only once the converter took it
//   /pack/N     the files of one pack request
//   /runs/N     the output folder of one run, emptied and removed after it
"use strict";

// The WebAssembly build has no threads: one file at a time, and the
// converter starts none.
const kThreadArguments = ["-j", "1"];

let core = null;        // the module, once ready
let output = null;      // the lines of the command running now
let runNumber = 0;
let progress = () => {};  // tells the page how far the request running now is

const ready = createKelvaneCore({
  print: (text) => output && output.push({ stream: "out", text }),
  printErr: (text) => output && output.push({ stream: "err", text }),
}).then((module) => {
  core = module;
  for (const folder of ["/sprites", "/palettes", "/pack", "/runs", "/trial"]) core.FS.mkdir(folder);
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

// The most bytes of one name the file system's folder listing gives back
// whole: a longer name would be held but never listed.
const kLongestName = 255;

function nameBytes(name) { return new TextEncoder().encode(name).length; }

// Why the path of a sprite (its folders and name, '/' between them) cannot be
// held as the converter would find it, or "" when it can.
function pathProblem(path) {
  if (typeof path !== "string") return "no name";
  const parts = path.split("/");
  for (const part of parts) {
    if (!safeName(part)) return "a name with a backslash or an empty or dot part; left out";
    if (nameBytes(part) > kLongestName) {
      return `a name of ${nameBytes(part)} bytes, longer than the ${kLongestName} the converter can write; left out`;
    }
  }
  // The converter's output folders hold images: a run never reads sprites there.
  if (parts.slice(0, -1).some((part) => part.toLowerCase() === "pcxfiles")) {
    return "inside a PCXFiles folder, which holds the converter's images, not sprites; left out";
  }
  return "";
}

// The folder and name of a sprite's path: "a/b/x.dc6" gives "a/b", "x.dc6".
function splitPath(path) {
  const slash = path.lastIndexOf("/");
  return slash < 0 ? { folder: "", name: path } : { folder: path.slice(0, slash), name: path.slice(slash + 1) };
}

function makeFolders(path) {
  let at = "";
  for (const part of path.split("/")) {
    at += "/" + part;
    if (!core.FS.analyzePath(at).exists) core.FS.mkdir(at);
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

// The sprites' sub-folders, relative to /sprites, parents first.
function spriteFolders() {
  const FS = core.FS;
  const folders = [];
  const walk = (relative) => {
    for (const name of FS.readdir("/sprites" + relative)) {
      if (name === "." || name === ".." || name === "PCXFiles") continue;
      const child = relative + "/" + name;
      if (FS.isDir(FS.lstat("/sprites" + child).mode)) {
        folders.push(child.slice(1));
        walk(child);
      }
    }
  };
  walk("");
  return folders;
}

// The images a run over the tree wrote into each folder's PCXFiles, named
// by their paths as -r -o DIR places them (a/x.pcx), and the folders removed.
function takeTreeFiles() {
  const files = takeFiles(kSpriteOutput);
  for (const folder of spriteFolders()) {
    for (const file of takeFiles(`/sprites/${folder}/PCXFiles`)) files.push({ name: `${folder}/${file.name}`, bytes: file.bytes });
  }
  files.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
  return files;
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

// The files as one ZIP (no comment, no ZIP64), or null when there are none.
// PNG files are deflated already and are stored; PCX files and manifests are
// deflated by the core's zlib at its fastest level, which takes most of what
// deflating can from them in a fraction of the time.
function zipOf(files) {
  if (files.length === 0) return null;
  const encoder = new TextEncoder();
  const now = new Date();
  const time = (now.getHours() << 11) | (now.getMinutes() << 5) | (now.getSeconds() >> 1);
  const date = ((Math.max(1980, now.getFullYear()) - 1980) << 9) | ((now.getMonth() + 1) << 5) | now.getDate();
  const parts = [], directory = [];
  let offset = 0;
  for (const file of files) {
    const name = encoder.encode(file.name);
    const stored = /\.png$/i.test(file.name);
    const { crc, data } = zipData(file.bytes, stored);
    // Local header and central record share these fields, from version needed on.
    const common = new DataView(new ArrayBuffer(26));
    common.setUint16(0, 20, true);                                   // version needed: 2.0
    common.setUint16(2, /[\u0080-\uffff]/.test(file.name) ? 0x800 : 0, true);  // names in UTF-8
    common.setUint16(4, stored ? 0 : 8, true);                       // stored or deflated
    common.setUint16(6, time, true);
    common.setUint16(8, date, true);
    common.setUint32(10, crc, true);
    common.setUint32(14, data.length, true);
    common.setUint32(18, file.bytes.length, true);
    common.setUint16(22, name.length, true);
    common.setUint16(24, 0, true);                                   // no extra field
    const local = new Uint8Array(30 + name.length);
    new DataView(local.buffer).setUint32(0, 0x04034b50, true);
    local.set(new Uint8Array(common.buffer), 4);
    local.set(name, 30);
    const central = new Uint8Array(46 + name.length);
    const view = new DataView(central.buffer);
    view.setUint32(0, 0x02014b50, true);
    view.setUint16(4, 20, true);                                     // made by: 2.0
    central.set(new Uint8Array(common.buffer), 6);
    view.setUint32(42, offset, true);                                // comment, disk, attributes: 0
    central.set(name, 46);
    parts.push(local, data);
    directory.push(central);
    offset += local.length + data.length;
  }
  const size = directory.reduce((sum, record) => sum + record.length, 0);
  if (files.length > 0xffff || offset + size > 0xffffffff) throw new Error("too many or too large images for one ZIP");
  const end = new Uint8Array(22);
  const view = new DataView(end.buffer);
  view.setUint32(0, 0x06054b50, true);
  view.setUint16(8, files.length, true);
  view.setUint16(10, files.length, true);
  view.setUint32(12, size, true);
  view.setUint32(16, offset, true);
  const zip = new Uint8Array(offset + size + end.length);
  let at = 0;
  for (const part of [...parts, ...directory, end]) {
    zip.set(part, at);
    at += part.length;
  }
  return zip;
}

// A file's CRC-32 and its bytes as its ZIP entry holds them: as they are,
// or deflated at level 1.
function zipData(bytes, stored) {
  const pointer = core._malloc(Math.max(1, bytes.length));
  if (!pointer) throw new RangeError("not enough memory");
  try {
    core.HEAPU8.set(bytes, pointer);
    if (stored) return { crc: core._KelvaneCrc32(pointer, bytes.length) >>> 0, data: bytes };
    const block = core._KelvaneDeflate(pointer, bytes.length, 1);
    if (!block) throw new RangeError("not enough memory");
    const crc = core.HEAPU32[block >> 2] >>> 0, size = core.HEAPU32[(block >> 2) + 1];
    const data = core.HEAPU8.slice(block + 8, block + 8 + size);
    core._KelvaneRelease(block);
    return { crc, data };
  } finally {
    core._free(pointer);
  }
}

const requests = {
  // Writes the sprites into /sprites and describes each for the list.
  // A worker started afresh gets the files again without describe.
  //
  // A file's name may be its path in the folder the user chose (a/x.dc6).
  // Those the converter could not find or write as named are refused with
  // the reason ({ name, why }) and not held.
  open({ files, describe }) {
    const sprites = [];
    const refused = [];
    const held = [];
    for (const file of files) {
      let why = pathProblem(file.name);
      if (!why) {
        try {
          const { folder } = splitPath(file.name);
          if (folder) makeFolders("/sprites/" + folder);
          writeFile("/sprites/" + file.name, file.bytes);
          held.push(file.name);
        } catch (error) {
          // A folder and a file of one name in the same place.
          why = "a folder and a file of this name cannot both be held; left out";
        }
      }
      if (why) refused.push({ name: file.name, why });
    }
    if (!describe) return { sprites, refused };
    core.FS.chdir("/sprites");
    let told = Date.now();
    for (const name of held) {
      if (Date.now() - told > 100) {
        told = Date.now();
        progress(sprites.length, held.length);
      }
      const text = core.UTF8ToString(withCString(name, core._KelvaneDescribeSprite));
      sprites.push({ name, description: JSON.parse(text) });
    }
    return { sprites, refused };
  },

  // Settles the palette as a run of the converter does and gives it back in
  // red, green, blue, as --export-palette writes a .act file.
  // A palette file is tried in a folder of its own and replaces the one in
  // use only when taken: a refused file of the same name leaves the palette
  // in use as it was.
  palette({ name, bytes }) {
    let trial = "/palettes";
    if (name !== undefined) {
      if (!safeName(name)) return { status: 2, lines: [], rgb: null };
      trial = newRunFolder("/trial");
      writeFile(trial + "/" + name, bytes);
    }
    const folder = newRunFolder("/runs");
    const run = convert(["-C", trial, "-o", folder, ...paletteArguments(name, ""), "--export-palette",
                         folder + "/run.act"]);
    const written = takeFiles(folder).find((file) => file.name === "run.act");
    const taken = run.status !== 2 && written;
    if (name !== undefined) {
      if (taken) {
        for (const old of core.FS.readdir("/palettes")) if (old !== "." && old !== "..") core.FS.unlink("/palettes/" + old);
        core.FS.rename(trial + "/" + name, "/palettes/" + name);
      }
      removeTree(trial);
    }
    return { status: run.status, lines: run.lines, rgb: taken ? written.bytes : null };
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

  // The order the converter takes the sprites in (paths below the folder
  // chosen, as a run over its tree takes them): the indices of names in that
  // order, or null when the core had no memory for it. A name that is not
  // whole text (a lone surrogate) is ordered as the text the browser shows
  // for it.
  order({ names }) {
    const whole = names.map((name) => name.replace(/[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g, "\ufffd"));
    const text = withCString(JSON.stringify(whole), core._KelvaneSpriteOrder);
    return { order: text ? JSON.parse(core.UTF8ToString(text)) : null };
  },

  // The decoded frames of one sprite (where a stitched sprite's frames go in
  // its picture, its description says), and the canvas its animation is
  // drawn on ({ x, y, w, h } as the manifest's meta.canvas, or null).
  decode({ name }) {
    if (pathProblem(name)) return { frames: [], canvas: null };
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
    const canvas = JSON.parse(core.UTF8ToString(withCString(name, core._KelvaneAnimationCanvas)));
    return { frames, canvas };
  },

  // The frame rates the converter's animations take, for the player.
  frameRates() {
    return { min: core._KelvaneMinFps(), max: core._KelvaneMaxFps(), initial: core._KelvaneDefaultFps() };
  },

  // A conversion run: every file it wrote, or those files as one ZIP, in
  // name order. All sprites of a chosen folder tree are converted as -r
  // converts it, the images at their paths as -r -o DIR mirrors them; the
  // sprites named (one folder's) go at the root.
  convert({ names, options, palette, zip }) {
    const files = names ? names.filter((name) => !pathProblem(name)) : [];
    const tree = !names && spriteFolders().length > 0;
    const folders = new Set(files.map((name) => splitPath(name).folder));
    if (folders.size > 1) throw new Error("sprites of several folders in one run");
    const folder = folders.size === 1 ? [...folders][0] : "";
    const at = folder ? "/sprites/" + folder : "/sprites";
    const output = at + "/PCXFiles";
    if (core.FS.analyzePath(output).exists) removeTree(output);
    const run = convert(["-C", at, ...(tree ? ["-r"] : []), ...optionArguments(options), ...paletteArguments(palette),
                         "--", ...files.map((name) => splitPath(name).name)]);
    const written = tree ? takeTreeFiles() : takeFiles(output);
    const result = { status: run.status, lines: run.lines, count: written.length };
    if (zip) {
      result.zip = zipOf(written);
    } else {
      result.files = written;
    }
    return result;
  },

  // One share of a run over many sprites (pool.js): the share's sprites
  // and the palette written in as the page's own worker holds them (so that
  // the notices name them alike), converted (as a run over their tree when
  // tree is set), and the images given back as a ZIP made here; the sprites
  // go again after, the next share is others.
  convertShare({ files, options, palette, tree }) {
    const names = [];
    for (const file of files) {
      if (pathProblem(file.name) || (!tree && file.name.includes("/"))) continue;
      const { folder } = splitPath(file.name);
      if (folder) makeFolders("/sprites/" + folder);
      writeFile("/sprites/" + file.name, file.bytes);
      names.push(file.name);
    }
    if (palette) {
      for (const old of core.FS.readdir("/palettes")) if (old !== "." && old !== "..") core.FS.unlink("/palettes/" + old);
      if (safeName(palette.name)) writeFile("/palettes/" + palette.name, palette.bytes);
    }
    try {
      clearSpriteOutput();
      const run = convert(["-C", "/sprites", ...(tree ? ["-r"] : []), ...optionArguments(options),
                           ...paletteArguments(palette && palette.name), "--", ...(tree ? [] : names)]);
      const written = tree ? takeTreeFiles() : takeFiles(kSpriteOutput);
      return { status: run.status, lines: run.lines, zip: zipOf(written) };
    } finally {
      // This worker holds no sprite between shares.
      removeTree("/sprites");
      core.FS.mkdir("/sprites");
    }
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
    progress = (done, total) => self.postMessage({ id, progress: { done, total } });
    const result = requests[kind](event.data);
    const transfer = [];
    for (const value of [result.zip, result.rgb, result.file && result.file.bytes]) if (value) transfer.push(value.buffer);
    for (const list of [result.files, result.sprites]) if (list) for (const file of list) if (file.bytes) transfer.push(file.bytes.buffer);
    if (result.frames) for (const frame of result.frames) if (frame.shown) transfer.push(frame.indices.buffer, frame.opaque.buffer);
    self.postMessage({ id, ok: true, result }, transfer);
  } catch (error) {
    // The core stopped (it aborts only on a fault of its own), or memory
    // for the files ran out: this worker cannot go on, and the page starts a
    // fresh one.
    const reason = error instanceof RangeError || (error && error.errno === 48) ? "Not enough memory"
      : error && error.errno !== undefined ? `file system error ${error.errno}` : String(error && error.message || error);
    self.postMessage({ id, ok: false, error: reason });
  }
};
