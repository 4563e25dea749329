// The page in headless Chromium against the native converter.
//
// The 1,000 sprite files of the whole-folder benchmark (bench/cli_folder.py's
// generator) are chosen in the page served on 127.0.0.1: the time until all
// are listed (target: under 1 s), then until the ZIP of all has been saved,
// as PCX and as PNG with manifests, each against `kelvane-convert -q -j 2 -o
// DIR` followed by `zip -q -r` of DIR on the same folder (best of three
// each). Target: the page within 1.5 x the native pair.
//
// Then the time from selecting a sample sprite to its frames drawn (median of
// ten selections each; target: under 50 ms), and from selecting a sprite of
// twelve 8000 x 8000 frames to its first frame drawn.
//
//   node bench/web_page.js RELEASE_BUILD WEB_FOLDER
"use strict";

const fs = require("node:fs");
const path = require("node:path");

const [build, web] = process.argv.slice(2).map((folder) => path.resolve(folder));
process.env.KELVANE_WEB_DIR = web;
const { launch, serve, PageDriver, run, temporaryFolder, sampleSprites, samples, spriteOf } = require("../tests/web/support");

const kRounds = 3;
const kSelections = 10;
const kFormats = [
  { label: "PCX", args: [], options: {} },
  { label: "PNG + manifests", args: ["-f", "png", "--json"], options: { format: "png", manifest: true } },
];

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function seconds(start) { return Number(process.hrtime.bigint() - start) / 1e9; }

const best = (values) => Math.min(...values);

// The time from clicking a sprite in the list to its frames in their canvases, painted.
function timeSelection(driver, name) {
  return driver.page.evaluate((wanted) => new Promise((resolve) => {
    const viewer = document.getElementById("viewer");
    delete viewer.dataset.drawn;
    const start = performance.now();
    const watch = new MutationObserver(() => {
      if (viewer.dataset.drawn !== wanted) return;
      watch.disconnect();
      requestAnimationFrame(() => resolve(performance.now() - start));
    });
    watch.observe(viewer, { attributes: true });
    document.querySelector(`#sprite-list li[data-sprite="${wanted}"]`).click();
  }), name);
}

async function main() {
  const folder = temporaryFolder("bench");
  const sprites = path.join(folder, "sprites");
  const made = run(path.join(build, "bench", "make_bench_sprites"), [sprites]);
  if (made.status !== 0) throw new Error("make_bench_sprites: " + made.err);
  const [files] = made.out.split(/\s+/).map(Number);
  const names = fs.readdirSync(sprites).filter((name) => name.endsWith(".dc6")).sort();
  const converter = path.join(build, "cli", "kelvane-convert");

  // The native pair: the images written with two jobs, then zipped as people zip a folder.
  const native = new Map();
  for (const format of kFormats) {
    const times = [];
    for (let round = 0; round < kRounds; ++round) {
      const output = path.join(folder, `native${round}`);
      const zip = path.join(folder, `native${round}.zip`);
      const start = process.hrtime.bigint();
      const done = run(converter, ["-q", "-j", "2", "-C", sprites, ...format.args, "-o", output]);
      if (done.status > 1) throw new Error("kelvane-convert: " + done.err);
      const zipped = run("/bin/sh", ["-c", `cd "$0" && zip -q -r "$1" .`, output, zip]);
      if (zipped.status !== 0) throw new Error("zip: " + zipped.err);
      times.push(seconds(start));
      fs.rmSync(output, { recursive: true, force: true });
      fs.rmSync(zip, { force: true });
    }
    native.set(format.label, best(times));
  }

  const large = path.join(folder, "large.dc6");
  fs.writeFileSync(large, spriteOf(Array.from({ length: 12 }, (_, i) => ({ width: 8000, height: 8000, xOffset: i }))));

  const server = await serve(web);
  const url = `http://127.0.0.1:${server.address().port}/`;
  const browser = await launch();
  const listed = [];
  const zipped = new Map(kFormats.map((format) => [format.label, []]));
  const zipBytes = new Map();
  try {
    for (let round = 0; round < kRounds; ++round) {
      const driver = await PageDriver.open(browser, url);
      // From the page's getting the files (the chooser's change) to all of
      // them listed and the page idle; the browser's own handing over of
      // the files before that is not the page's.
      await driver.page.evaluate((count) => {
        window.kelvaneListed = new Promise((resolve) => {
          document.getElementById("sprite-files").addEventListener("change", () => {
            const start = performance.now();
            const watch = new MutationObserver(() => {
              if (document.querySelectorAll("#sprite-list li").length !== count || !document.getElementById("busy").hidden) return;
              watch.disconnect();
              requestAnimationFrame(() => resolve((performance.now() - start) / 1000));
            });
            watch.observe(document.body, { attributes: true, childList: true, subtree: true });
          }, { capture: true, once: true });
        });
      }, names.length);
      await driver.openSprites(names.map((name) => path.join(sprites, name)));
      listed.push(await driver.page.evaluate(() => window.kelvaneListed));
      for (const format of kFormats) {
        await driver.setOptions(format.options);
        const zipStart = process.hrtime.bigint();
        const zip = await driver.download("#download-zip", 600000);
        zipped.get(format.label).push(seconds(zipStart));
        zipBytes.set(format.label, zip.bytes.length);
      }
      fs.rmSync(driver.downloads, { recursive: true, force: true });
      await driver.page.close();
    }

    const driver = await PageDriver.open(browser, url);
    await driver.openSprites([...sampleSprites.map((name) => path.join(samples, name)), large]);
    const drawn = {};
    for (const name of sampleSprites) {
      const times = [];
      for (let i = 0; i < kSelections; ++i) times.push(await timeSelection(driver, name));
      drawn[name] = median(times);
    }
    const largeTimes = [];
    for (let i = 0; i < kRounds; ++i) {
      await timeSelection(driver, "gem.dc6");
      largeTimes.push(await timeSelection(driver, "large.dc6"));
    }
    await driver.page.close();

    console.log(`The page in headless Chromium on the ${files} sprite files, best of ${kRounds}:`);
    console.log(`  listed            ${best(listed).toFixed(3)} s   (from the page's getting the ${files} files to all listed; target: under 1 s)`);
    for (const format of kFormats) {
      const page = best(zipped.get(format.label));
      const pair = native.get(format.label);
      console.log(`  ZIP, ${format.label.padEnd(16)} page ${page.toFixed(3)} s (${(zipBytes.get(format.label) / 1e6).toFixed(1)} MB)` +
                  `   kelvane-convert -j 2 + zip -r ${pair.toFixed(3)} s   ratio ${(page / pair).toFixed(2)} (target: at most 1.5)`);
    }
    console.log(`Selecting a sample sprite to its frames drawn, median of ${kSelections}:`);
    for (const name of sampleSprites) console.log(`  ${name.padEnd(12)} ${drawn[name].toFixed(1)} ms   (target: under 50 ms)`);
    console.log(`  12 frames of 8000 x 8000, its first drawn: ${median(largeTimes).toFixed(0)} ms (median of ${kRounds})`);
  } finally {
    await browser.dispose();
    server.close();
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
