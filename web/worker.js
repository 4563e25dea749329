// The page's worker: the core (kelvane-core.js, compiled from the C++ core)
// and the in-memory file system it works on. The page sends the user's files
// and asks for the tools' runs; the worker writes the files into the file
// system, runs exactly the command lines the tools take, and sends back what
// they wrote and said. Nothing here reads a sprite or writes an image: the
// core does, and the bytes are the tools' bytes.
//
// This file holds the requests the page sends and answers them; beside it,
// worker_core.js is the glue to the core, worker_files.js the file system
// (its folders are described there), worker_zip.js the ZIP writer. They are
// joined into one script, in that order, before this one.
"use strict";
/* global core, withCString, convert, pack, filesReady, safeName, pathProblem, splitPath, makeFolders, writeFile,
          removeTree, takeFiles, kSpriteOutput, clearSpriteOutput, spriteFolders, takeTreeFiles, newRunFolder,
          zipOf */

let progress = () => {};  // tells the page how far the request running now is

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
    await filesReady;
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
