// The page in headless Chromium against the native converter.
//
// The 1,000 sprite files of the whole-folder benchmark (bench/cli_folder.py's
// generator) are chosen in the page served on 127.0.0.1: the time until all
// are listed, then until the ZIP of all as PNG with manifests has been saved,
// against `kelvane-convert -q -f png --json` on the same folder (best of
// three each). Target: the page within 3 x the native tool.
//
// Then the time from selecting a sample sprite to its frames drawn (median of
// ten selections each). Target: under 50 ms.
//
//   node bench/web_page.js RELEASE_BUILD WEB_FOLDER
"use strict";

const fs = require("node:fs");
const path = require("node:path");

const [build, web] = process.argv.slice(2).map((folder) => path.resolve(folder));
process.env.KELVANE_WEB_DIR = web;
const { launch, serve, PageDriver, run, temporaryFolder, sampleSprites, samples } = require("../tests/web/support");

const kRounds = 3;
const kSelections = 10;

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function seconds(start) { return Number(process.hrtime.bigint() - start) / 1e9; }

async function main() {
  const folder = temporaryFolder("bench");
  const sprites = path.join(folder, "sprites");
  const made = run(path.join(build, "bench", "make_bench_sprites"), [sprites]);
  if (made.status !== 0) throw new Error("make_bench_sprites: " + made.err);
  const [files] = made.out.split(/\s+/).map(Number);
  const names = fs.readdirSync(sprites).filter((name) => name.endsWith(".dc6")).sort();
  const converter = path.join(build, "cli", "kelvane-convert");

  const native = [];
  for (let round = 0; round < kRounds; ++round) {
    const output = path.join(folder, `native${round}`);
    const start = process.hrtime.bigint();
    const done = run(converter, ["-q", "-C", sprites, "-f", "png", "--json", "-o", output]);
    native.push(seconds(start));
    if (done.status > 1) throw new Error("kelvane-convert: " + done.err);
    fs.rmSync(output, { recursive: true, force: true });
  }

  const server = await serve(web);
  const url = `http://127.0.0.1:${server.address().port}/`;
  const browser = await launch();
  const listed = [], zipped = [], total = [];
  let zipBytes = 0;
  try {
    for (let round = 0; round < kRounds; ++round) {
      const driver = await PageDriver.open(browser, url);
      const start = process.hrtime.bigint();
      await driver.openSprites(names.map((name) => path.join(sprites, name)));
      listed.push(seconds(start));
      await driver.setOptions({ format: "png", manifest: true });
      const zipStart = process.hrtime.bigint();
      const zip = await driver.download("#download-zip", 600000);
      zipped.push(seconds(zipStart));
      total.push(seconds(start));
      zipBytes = zip.bytes.length;
      fs.rmSync(driver.downloads, { recursive: true, force: true });
      await driver.page.close();
    }

    const driver = await PageDriver.open(browser, url);
    await driver.openSprites(sampleSprites.map((name) => path.join(samples, name)));
    const drawn = {};
    for (const name of sampleSprites) {
      const times = [];
      for (let i = 0; i < kSelections; ++i) {
        await driver.page.evaluate(() => {
          delete document.getElementById("viewer").dataset.drawn;
        });
        times.push(await driver.page.evaluate((wanted) => new Promise((resolve) => {
          const viewer = document.getElementById("viewer");
          const start = performance.now();
          const watch = new MutationObserver(() => {
            if (viewer.dataset.drawn !== wanted) return;
            watch.disconnect();
            // The frames are in their canvases; count the paint that shows them.
            requestAnimationFrame(() => resolve(performance.now() - start));
          });
          watch.observe(viewer, { attributes: true });
          document.querySelector(`#sprite-list li[data-sprite="${wanted}"]`).click();
        }), name));
      }
      drawn[name] = median(times);
    }
    await driver.page.close();

    const best = (values) => Math.min(...values);
    const page = best(total);
    console.log(`The page in headless Chromium on the ${files} sprite files, best of ${kRounds}:`);
    console.log(`  listed        ${best(listed).toFixed(3)} s   (all ${files} sprites in the list)`);
    console.log(`  ZIP as PNG    ${best(zipped).toFixed(3)} s   (${(zipBytes / 1e6).toFixed(1)} MB, images and manifests)`);
    console.log(`  page in all   ${page.toFixed(3)} s`);
    console.log(`  native        ${best(native).toFixed(3)} s   (kelvane-convert -q -f png --json)`);
    console.log(`  ratio         ${(page / best(native)).toFixed(2)}      (target: at most 3)`);
    console.log(`Selecting a sample sprite to its frames drawn, median of ${kSelections}:`);
    for (const name of sampleSprites) console.log(`  ${name.padEnd(12)} ${drawn[name].toFixed(1)} ms   (target: under 50 ms)`);
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
