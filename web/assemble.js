// Lays out the page in its folder (make web: build/web):
//
//   index.html, style.css   the page
//   kelvane.js              the page's script: the modules of pageScripts, in order
//   kelvane-worker.js       the worker's source as text, for a Blob URL: the
//                           core (kelvane-core.js, WebAssembly embedded) and
//                           the modules of workerScripts, in order
//   help/                   the help pages
//   LICENSES.txt            the licences of what the page carries
//
// Everything the page loads is in this folder, and nothing is fetched: the
// page works opened as a file and from any static host.
//
//   node assemble.js OUT CORE.js ZLIB_FOLDER HELP_FOLDER
"use strict";

const fs = require("fs");
const path = require("path");

const [out, core, zlib, help] = process.argv.slice(2);
if (!help) {
  console.error("usage: node assemble.js OUT CORE.js ZLIB_FOLDER HELP_FOLDER");
  process.exit(2);
}
// The page's script, one module a job: first those that stand alone, then
// the page's shared parts (page.js) and the parts that add to them, start.js
// last, which starts the page.
const pageScripts = [
  "core_client.js", "names.js", "drawing.js", "player.js", "drop.js", "settings.js", "pool.js",
  "page.js", "notices.js", "busy.js", "files.js", "sprite_list.js", "viewer.js", "palette_choice.js", "image_save.js",
  "pack_panel.js", "animation_save.js", "start.js",
];
// The worker's script after the core: its glue to the core, the file system,
// the ZIP writer, and worker.js last, which answers the page's requests.
const workerScripts = ["worker_core.js", "worker_files.js", "worker_zip.js", "worker.js"];
const source = (name) => fs.readFileSync(path.join(__dirname, name), "utf8");

function copyFolder(from, to, take) {
  fs.mkdirSync(to, { recursive: true });
  for (const entry of fs.readdirSync(from, { withFileTypes: true })) {
    const at = path.join(from, entry.name);
    if (entry.isDirectory()) copyFolder(at, path.join(to, entry.name), take);
    else if (take(entry.name)) fs.copyFileSync(at, path.join(to, entry.name));
  }
}

fs.rmSync(out, { recursive: true, force: true });
fs.mkdirSync(out, { recursive: true });
fs.copyFileSync(path.join(__dirname, "index.html"), path.join(out, "index.html"));
fs.copyFileSync(path.join(__dirname, "style.css"), path.join(out, "style.css"));
fs.writeFileSync(path.join(out, "kelvane.js"), pageScripts.map(source).join("\n"));

const workerSource = [
  fs.readFileSync(core, "utf8"),
  ...workerScripts.map(source),
].join("\n;\n");
fs.writeFileSync(path.join(out, "kelvane-worker.js"),
                 "// The page's worker, started from a Blob URL (core_client.js).\n" +
                 `var kelvaneWorkerSource = ${JSON.stringify(workerSource)};\n`);

copyFolder(help, path.join(out, "help"), (name) => /\.(html|css|png)$/.test(name));

fs.writeFileSync(path.join(out, "LICENSES.txt"), [
  "Kelvane Converter: Expat licence (see the project's copyright file).",
  "",
  "The core carries zlib (compiled to WebAssembly):",
  fs.readFileSync(path.join(zlib, "LICENSE"), "utf8"),
].join("\n"));
