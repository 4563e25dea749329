// The page in headless Chromium, against the native tools on the same files:
// what it lists and draws, the ZIPs and sprites it saves, the palettes it
// takes, the sprites it refuses, and Cancel.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { describe, test } = require("node:test");
const { unzipSync } = require("fflate");
const {
  converter, packer, samples, sampleSprites, keep, temporaryFolder, pageHarness, run, folderWith, filesOf,
  assertSameFiles, spriteOf,
} = require("./support");

const samplePaths = sampleSprites.map((name) => path.join(samples, name));

// Converts the samples natively in a folder of their own; gives the run and
// what it wrote into PCXFiles.
function nativeRun(args, sprites = samplePaths, extra = []) {
  const folder = folderWith([...sprites, ...extra]);
  const result = run(converter, ["-q", ...args], { cwd: folder });
  const output = path.join(folder, "PCXFiles");
  return { ...result, folder, files: fs.existsSync(output) ? filesOf(output) : new Map() };
}

function unzipped(bytes) {
  return new Map(Object.entries(unzipSync(new Uint8Array(bytes))).map(([name, data]) => [name, Buffer.from(data)]));
}

function linesAbout(text, name) {
  return text.split("\n").filter((line) => line.startsWith(`kelvane-convert: ${name}: `));
}

// Compares the selected sprite's frame canvases with the converter's PNG
// images, decoded by the browser: each frame where the manifest puts it.
// Gives the mismatching pixels, none when equal.
async function framesAgainstPng(driver, manifest, images) {
  const frames = manifest.frames.map((entry) => ({
    index: entry.index, rect: entry.frame, png: images.get(entry.filename).toString("base64"),
  }));
  return driver.page.evaluate(async (frames) => {
    const problems = [];
    for (const { index, rect, png } of frames) {
      const canvas = document.querySelector(`canvas.frame[data-index="${index}"]`);
      if (!canvas) { problems.push(`frame ${index}: no canvas`); continue; }
      if (canvas.width !== rect.w || canvas.height !== rect.h) {
        problems.push(`frame ${index}: ${canvas.width} x ${canvas.height}, not ${rect.w} x ${rect.h}`);
        continue;
      }
      const bytes = Uint8Array.from(atob(png), (c) => c.charCodeAt(0));
      const bitmap = await createImageBitmap(new Blob([bytes], { type: "image/png" }),
                                             { premultiplyAlpha: "none", colorSpaceConversion: "none" });
      const decoded = new OffscreenCanvas(bitmap.width, bitmap.height).getContext("2d");
      decoded.drawImage(bitmap, 0, 0);
      const want = decoded.getImageData(rect.x, rect.y, rect.w, rect.h).data;
      const have = canvas.getContext("2d").getImageData(0, 0, rect.w, rect.h).data;
      let wrong = 0;
      for (let i = 0; i < want.length; i += 4) {
        const same = want[i + 3] === have[i + 3] &&
                     (want[i + 3] === 0 || (want[i] === have[i] && want[i + 1] === have[i + 1] && want[i + 2] === have[i + 2]));
        if (!same && wrong++ === 0) problems.push(`frame ${index}: pixel ${i / 4} is ${have.slice(i, i + 4)}, not ${want.slice(i, i + 4)}`);
      }
      if (wrong > 1) problems.push(`frame ${index}: ${wrong} pixels differ`);
    }
    return problems;
  }, frames);
}

const harness = pageHarness();
const withPage = harness.withPage;

describe("the page", () => {
  for (const origin of ["served", "file"]) {
    test(`${origin === "served" ? "served on 127.0.0.1" : "opened as a file"}: lists the samples with the ` +
         "converter's notices, draws their frames as its PNG images and plays the animation", async () => {
      const url = origin === "served" ? harness.served : harness.file;
      await withPage(url, async (driver) => {
        await driver.openSprites(samplePaths);

        const listed = await driver.page.$$eval("#sprite-list > li", (items) => items.map((item) => ({
          name: item.dataset.sprite, facts: item.querySelector(".facts").textContent,
          notices: [...item.querySelectorAll(".sprite-notices li")].map((line) => line.textContent),
        })));
        assert.deepEqual(listed.map((item) => item.name), sampleSprites);
        const plain = nativeRun([]);
        for (const item of listed) assert.deepEqual(item.notices, linesAbout(plain.err, item.name), item.name);
        assert.ok(listed.find((item) => item.name === "damaged.dc6").notices.length > 0, "the damaged sample has notices");
        assert.match(listed.find((item) => item.name === "bounce.dc6").facts, /^8 frames · .* · separate$/);
        assert.match(listed.find((item) => item.name === "valley.dc6").facts, /^6 frames · .* · stitched$/);

        const png = nativeRun(["-f", "png", "--json"]);
        for (const name of sampleSprites) {
          await driver.select(name);
          const manifest = JSON.parse(png.files.get(name.replace(".dc6", ".json")));
          assert.deepEqual(await framesAgainstPng(driver, manifest, png.files), [], name);
        }

        // bounce plays, and each frame stands at its offsets.
        const bounce = JSON.parse(png.files.get("bounce.json"));
        await driver.select("bounce.dc6");
        await driver.page.click("#play");
        const first = await driver.page.$eval("#animation", (canvas) => canvas.dataset.frame);
        await driver.waitFor((seen) => document.getElementById("animation").dataset.frame !== seen, first);
        const second = await driver.page.$eval("#animation", (canvas) => canvas.dataset.frame);
        await driver.waitFor((seen) => document.getElementById("animation").dataset.frame !== seen, second);
        await driver.page.click("#play");  // pause
        const misplaced = await driver.page.evaluate((entries) => {
          const stage = document.getElementById("animation");
          const entry = entries[Number(stage.dataset.frame)];
          const frame = document.querySelector(`canvas.frame[data-index="${entry.index}"]`);
          const x = Number(stage.dataset.originX) + entry.xOffset, y = Number(stage.dataset.originY) + entry.yOffset;
          const drawn = stage.getContext("2d").getImageData(x, y, frame.width, frame.height).data;
          const own = frame.getContext("2d").getImageData(0, 0, frame.width, frame.height).data;
          let wrong = 0;
          for (let i = 0; i < own.length; i += 4) {
            if (own[i + 3] === 255 && (own[i] !== drawn[i] || own[i + 1] !== drawn[i + 1] || own[i + 2] !== drawn[i + 2])) ++wrong;
          }
          // The origin's mark may cover a few of the frame's pixels.
          return wrong > 2 * 11 ? wrong : 0;
        }, bounce.frames);
        assert.equal(misplaced, 0, "the animation draws the frame at its offsets");
        assert.notEqual(first, second, "the animation advances");

        if (origin === "served") await driver.page.screenshot({ path: path.join(keep, "page.png") });
        assert.deepEqual(driver.foreignRequests(origin === "served" ? harness.served : "file://"), []);
        assert.deepEqual(driver.errors, []);
      });
    });
  }

  test("lists sprites as kelvane-convert takes them where a plain, numeric or case-folded sort differs", async () => {
    // Files the converter refuses, each named in the order it takes them.
    const top = temporaryFolder("order");
    fs.mkdirSync(path.join(top, "d"));
    const names = ["B.dc6", "a.dc6", "walk10.dc6", "walk2.dc6", "\u0130x.dc6", "jx.dc6", "m.dc6", "d/k.dc6"];
    for (const name of names) fs.writeFileSync(path.join(top, name), Buffer.from([5, 0, 0, 0]));
    const native = run(converter, ["-q", "-r"], { cwd: top });
    const order = native.err.trim().split("\n").map((line) => /^kelvane-convert: (.+?\.dc6): /.exec(line)[1]);
    assert.equal(order.length, names.length, native.err);
    await withPage(harness.served, async (driver) => {
      await driver.choose("#sprite-folder", [top]);
      await driver.waitFor((count) => document.querySelectorAll("#sprite-list li[data-sprite]").length === count, names.length);
      await driver.idle();
      assert.deepEqual(await driver.page.$$eval("#sprite-list li[data-sprite]", (items) => items.map((item) => item.dataset.sprite)),
                       order);
    });
  });

  test("draws the animation on kelvane-convert's --anim canvas: its size, and its first frame pixel for pixel", async () => {
    const folder = folderWith([path.join(samples, "bounce.dc6")]);
    // Frames on both sides of the origin, and one without pixels far off, which takes no room.
    fs.writeFileSync(path.join(folder, "far.dc6"), spriteOf([{ width: 6, height: 5, xOffset: -3, yOffset: -20 },
      { width: 4, height: 3, xOffset: 10, yOffset: 2 }, { width: 0, height: 0, xOffset: 300, yOffset: 300 }]));
    run(converter, ["-q", "-f", "png", "--anim", "apng", "bounce.dc6", "far.dc6"], { cwd: folder });
    await withPage(harness.served, async (driver) => {
      await driver.openSprites(["bounce.dc6", "far.dc6"].map((name) => path.join(folder, name)));
      for (const name of ["bounce", "far"]) {
        await driver.select(`${name}.dc6`);
        // The origin's mark is the page's own.
        const { x, y } = await driver.page.$eval("#animation", (stage) => ({ x: Number(stage.dataset.originX), y: Number(stage.dataset.originY) }));
        const mark = [];
        for (let arm = -5; arm <= 5; ++arm) mark.push([x + arm, y], [x, y + arm]);
        assert.equal(await driver.stageAgainst(fs.readFileSync(path.join(folder, "PCXFiles", `${name}.apng`)), mark), 0, name);
      }
      await driver.select("bounce.dc6");
      await driver.page.click("#play");
      await driver.waitFor(() => Number(document.getElementById("animation").dataset.frame) >= 2);
      await driver.page.screenshot({ path: path.join(keep, "page-playing.png") });
      await driver.page.click("#play");
    });
  });

  test("saves ZIPs of exactly the converter's files, with the built-in palette and a chosen one", async () => {
    await withPage(harness.served, async (driver) => {
      await driver.openSprites(samplePaths);

      await driver.setOptions({ format: "png", manifest: true, sheet: true });
      const sheets = await driver.download("#download-zip");
      assert.equal(sheets.name, "kelvane-images.zip");
      assertSameFiles(unzipped(sheets.bytes), nativeRun(["-f", "png", "--json", "--sheet"]).files, "PNG sheets");

      await driver.setOptions({});
      const pcx = await driver.download("#download-zip");
      assertSameFiles(unzipped(pcx.bytes), nativeRun([]).files, "PCX");

      // A palette file: taken, the frames redrawn with it, and the saves made with it.
      const warm = path.join(samples, "warm.pal");
      await driver.select("gem.dc6");
      await driver.choose("#palette-file", [warm]);
      await driver.waitFor(() => document.getElementById("palette-name").textContent === "warm.pal");
      await driver.idle();
      const warmPng = nativeRun(["-f", "png", "--json", "-p", "warm.pal"], samplePaths, [warm]);
      assert.deepEqual(await framesAgainstPng(driver, JSON.parse(warmPng.files.get("gem.json")), warmPng.files), []);
      await driver.setOptions({ format: "png", scope: "selected" });
      const gem = await driver.download("#download-zip");
      assert.equal(gem.name, "gem.zip");
      assertSameFiles(unzipped(gem.bytes), nativeRun(["-f", "png", "-p", "warm.pal", "gem.dc6"], samplePaths, [warm]).files, "gem");

      const exported = await driver.download("#download-palette");
      assert.equal(exported.name, "kelvane-palette.gpl");
      const nativeExport = nativeRun(["-p", "warm.pal", "--export-palette", "warm.gpl"], [], [warm]);
      assert.ok(exported.bytes.equals(fs.readFileSync(path.join(nativeExport.folder, "warm.gpl"))), "the .gpl file");

      // A damaged palette file is refused in the converter's words; the palette stays.
      const folder = temporaryFolder("palette");
      const broken = path.join(folder, "broken.gpl");
      fs.writeFileSync(broken, "GIMP Palette\n300 0 0\n");
      const refusal = run(converter, ["-q", "-p", "broken.gpl"], { cwd: folder });
      assert.equal(refusal.status, 2);
      await driver.choose("#palette-file", [broken]);
      await driver.waitFor(() => document.getElementById("busy").hidden &&
        [...document.querySelectorAll("#notices li")].some((item) => item.textContent.includes("broken.gpl was not taken")));
      assert.ok((await driver.notices()).includes(refusal.err.trim()), refusal.err);
      assert.equal(await driver.page.$eval("#palette-name", (name) => name.textContent), "warm.pal");
    });
  });

  test("packs a manifest with its images into kelvane-pack's sprite, byte for byte", async () => {
    const edit = temporaryFolder("edit");
    assert.equal(run(converter, ["-q", "-C", samples, "-f", "png", "--json", "-o", edit, "bounce.dc6"]).status, 0);
    const images = fs.readdirSync(edit).map((name) => path.join(edit, name));
    const nativeFolder = folderWith(images);
    const packed = run(packer, ["-C", nativeFolder, "bounce.json"]);
    assert.equal(packed.status, 0, packed.err);

    await withPage(harness.file, async (driver) => {
      await driver.choose("#pack-files", images);
      await driver.waitFor(() => !document.getElementById("download-dc6").disabled);
      await driver.idle();  // the page settled: its busy line, when gone, moves what is below it
      const sprite = await driver.download("#download-dc6");
      assert.equal(sprite.name, "bounce.dc6");
      assert.ok(sprite.bytes.equals(fs.readFileSync(path.join(nativeFolder, "bounce.dc6"))), "the packed sprite");
    });
  });

  test("refuses hostile sprites with the converter's notices, caps its memory, and Cancel ends a long run", async () => {
    const folder = temporaryFolder("hostile");
    const sprites = {
      "huge.dc6": spriteOf([{ width: 65535, height: 65535 }]),
      "big.dc6": spriteOf([{ width: 65535, height: 20000 }]),  // 1.2 GiB of canvas: beyond the page's memory
      "long.dc6": spriteOf(Array.from({ length: 12 }, (_, i) => ({ width: 6000, height: 6000, xOffset: i }))),
    };
    for (const [name, bytes] of Object.entries(sprites)) fs.writeFileSync(path.join(folder, name), bytes);
    await withPage(harness.served, async (driver) => {
      await driver.openSprites(["huge.dc6", "big.dc6"].map((name) => path.join(folder, name)));

      await driver.select("huge.dc6");
      assert.match(await driver.page.$eval("#frames", (frames) => frames.textContent), /too large to show/);

      // Natively, under the same cap on memory as the page's core.
      const native = run(converter, ["-q", "huge.dc6", "big.dc6"], { cwd: folder, limitKiB: 1 << 20 });
      assert.equal(native.status, 1);
      await driver.setOptions({});
      await driver.page.click("#download-zip");
      await driver.waitFor(() => [...document.querySelectorAll("#notices li")]
        .some((item) => item.textContent.startsWith("Nothing was written")));
      const notices = await driver.notices();
      for (const line of native.err.trim().split("\n")) assert.ok(notices.includes(line), line);
      assert.ok(native.err.includes("Not enough memory for image PCXFiles/big.pcx"), native.err);

      // A run of twelve large images, cancelled: the page takes a fresh core
      // that still has the sprites.
      await driver.openSprites([path.join(folder, "long.dc6")]);
      await driver.setOptions({ format: "png", scope: "selected" });
      await driver.select("long.dc6");
      await driver.page.click("#download-zip");
      await driver.waitFor(() => document.getElementById("busy").classList.contains("shown"));
      await driver.page.click("#cancel");
      await driver.idle();
      assert.ok((await driver.notices()).some((line) => /^Converting long\.dc6… cancelled\.$/.test(line)));
      await driver.openSprites([path.join(samples, "gem.dc6")]);
      await driver.select("gem.dc6");
      const gem = await driver.download("#download-zip");
      assertSameFiles(unzipped(gem.bytes), nativeRun(["-f", "png", "gem.dc6"]).files, "gem after Cancel");
      assert.deepEqual(driver.errors, []);
    });
  });
});
