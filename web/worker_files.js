// The in-memory file system the worker's core works on: the folders below,
// the names and paths it holds, and the files a run wrote taken out again.
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
/* global core, ready */
/* exported filesReady, safeName, pathProblem, splitPath, makeFolders, writeFile, removeTree, takeFiles,
            kSpriteOutput, clearSpriteOutput, spriteFolders, takeTreeFiles, newRunFolder */

let runNumber = 0;

// The core with the folders above made.
const filesReady = ready.then(() => {
  for (const folder of ["/sprites", "/palettes", "/pack", "/runs", "/trial"]) core.FS.mkdir(folder);
});

// A plain file name: no folder, nothing the file system reads as one, and no
// backslash, which some ZIP readers take for a folder of the names written
// after it.
function safeName(name) {
  return typeof name === "string" && name !== "" && name !== "." && name !== ".." && !/[/\\\0]/.test(name);
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
