// The page's Pack with an original sprite and "nearest colour", and its
// animations, against the native tools on the same files: the same bytes,
// the same notices (naming the page's controls where they say what to do).
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { describe, test } = require("node:test");
const { unzipSync } = require("fflate");
const {
  converter, packer, samples, temporaryFolder, pageHarness, run, folderWith, filesOf, assertSameFiles,
} = require("./support");

const bounce = path.join(samples, "bounce.dc6");

const harness = pageHarness();
const withPage = (body) => harness.withPage(harness.file, body);

// What an editor makes of bounce's images converted with warm.pal, which
// holds some colours twice: frame 0 as GIMP's pencil leaves it (every pixel
// at the first palette entry of its colour), frame 1 saved as RGBA with one
// pixel in a colour the palette lacks.
function editedBounce() {
  const edit = temporaryFolder("edit");
  const converted = run(converter, ["-q", "-C", samples, "-p", "warm.pal", "-f", "png", "--json", "-o", edit, "bounce.dc6"]);
  assert.equal(converted.status, 0, converted.err);
  const script = `
import sys
from PIL import Image
first, second = sys.argv[1], sys.argv[2]
with Image.open(first) as image:
    image.load()
    palette = image.getpalette()
    marked = image.info["transparency"]
    lowest = {}
    for i in range(len(palette) // 3):
        if i != marked:
            lowest.setdefault(tuple(palette[3 * i:3 * i + 3]), i)
    image.putdata([v if v == marked else lowest[tuple(palette[3 * v:3 * v + 3])] for v in image.getdata()])
    image.save(first, transparency=marked)
with Image.open(second) as image:
    rgba = image.convert("RGBA")
    pixels = list(rgba.getdata())
    at = next(i for i, p in enumerate(pixels) if p[3] == 255)
    pixels[at] = (1, 2, 3, 255)
    rgba.putdata(pixels)
    rgba.save(second)
`;
  const edited = run("/usr/bin/python3", ["-c", script, path.join(edit, "bounce0.png"), path.join(edit, "bounce1.png")]);
  assert.equal(edited.status, 0, edited.err);
  return fs.readdirSync(edit).map((name) => path.join(edit, name));
}

// Chooses the files in the pack panel and waits until the page has packed
// (or refused) them and shown what it packed.
async function packInPage(driver, files, { nearest }) {
  await driver.page.$eval("#pack-nearest", (box, on) => { box.checked = on; }, nearest);
  await driver.page.$eval("#pack-result", (result) => { result.textContent = ""; });
  await driver.choose("#pack-files", files);
  await driver.waitFor(() => document.getElementById("pack-result").textContent !== "");
  await driver.idle();
}

function errLines(text) { return text.trim().split("\n").filter(Boolean); }

describe("the page's pack", () => {
  test("packs with the original and nearest colour as kelvane-pack does, and shows the sprite before it is saved",
       async () => {
    const images = editedBounce();
    const nativeFolder = folderWith([...images, bounce]);  // the original beside its manifest
    const native = run(packer, ["-C", nativeFolder, "--nearest", "-o", "packed.dc6", "bounce.json"]);
    assert.equal(native.status, 1, native.err);
    assert.match(native.err, /bounce\.json: \d+ pixels show the original sprite's colour at another index/);
    assert.match(native.err, /took the nearest one/);

    // The page's original under a name of its own: the one sprite chosen with one manifest.
    const renamed = path.join(temporaryFolder("original"), "bounce-original.dc6");
    fs.copyFileSync(bounce, renamed);
    const expected = fs.readFileSync(path.join(nativeFolder, "packed.dc6"));
    await withPage(async (driver) => {
      await packInPage(driver, [...images, renamed], { nearest: true });
      assert.match(await driver.page.$eval("#pack-result", (result) => result.textContent),
                   /^bounce\.dc6 \(.* bytes, with the original bounce-original\.dc6\) packed/);
      const notices = await driver.notices();
      for (const line of errLines(native.err)) assert.ok(notices.includes(line), line);
      // Listed and drawn already: the viewer shows the packed sprite.
      await driver.waitFor(() => document.getElementById("viewer").dataset.drawn === "bounce.dc6");
      const sprite = await driver.download("#download-dc6");
      assert.equal(sprite.name, "bounce.dc6");
      assert.ok(sprite.bytes.equals(expected), "the packed sprite");
      assert.deepEqual(driver.errors, []);
    });

    // Without the original, and without nearest colour: the advice names the
    // page's controls, never the tool's options.
    const alone = folderWith(images);
    const lowest = run(packer, ["-C", alone, "--nearest", "-o", "packed.dc6", "bounce.json"]);
    assert.match(lowest.err, /give --like ORIGINAL\.dc6/);
    await withPage(async (driver) => {
      await packInPage(driver, images, { nearest: false });
      await packInPage(driver, images, { nearest: true });
      const said = (await driver.notices()).filter((line) => line.startsWith("kelvane-pack: "));
      assert.ok(said.some((line) => line.includes('or tick "nearest colour" to take the nearest of them')), said.join("\n"));
      assert.ok(said.some((line) => line.includes("; choose the original sprite with the files to pack to take the " +
                                                  "original sprite's")), said.join("\n"));
      assert.deepEqual(said.filter((line) => / -[-a-zA-Z]/.test(line)), []);
      const sprite = await driver.download("#download-dc6");
      assert.ok(sprite.bytes.equals(fs.readFileSync(path.join(alone, "packed.dc6"))), "packed without the original");

      // The sprite the manifest names, listed in the page, is its original.
      await driver.openSprites([bounce]);
      await packInPage(driver, images, { nearest: true });
      const listed = await driver.download("#download-dc6");
      assert.ok(listed.bytes.equals(expected), "packed with the listed original");
    });
  });

  test("loose PCX images with their original take its offsets and header: the original comes back", async () => {
    const pcx = temporaryFolder("pcx");
    assert.equal(run(converter, ["-q", "-C", samples, "-o", pcx, "bounce.dc6"]).status, 0);
    const images = fs.readdirSync(pcx).sort().map((name) => path.join(pcx, name));
    const native = folderWith([...images, bounce]);
    const offsets = [];
    const frames = JSON.parse(fs.readFileSync(path.join(convertedManifest(), "bounce.json"), "utf8")).frames;
    frames.forEach((frame, i) => offsets.push("--offset", `${i}:${frame.xOffset},${frame.yOffset}`));
    const packed = run(packer, ["-C", native, "-o", "out.dc6", "--like", "bounce.dc6", ...offsets,
                                ...images.map((image) => path.basename(image))]);
    assert.equal(packed.status, 0, packed.err);
    const expected = fs.readFileSync(path.join(native, "out.dc6"));
    assert.ok(expected.equals(fs.readFileSync(bounce)), "natively, the original comes back");

    await withPage(async (driver) => {
      await packInPage(driver, [...images, bounce], { nearest: false });
      const sprite = await driver.download("#download-dc6");
      assert.equal(sprite.name, "bounce.dc6");
      assert.ok(sprite.bytes.equals(expected), "the page's loose pack");
      // Without it the frames stand at 0,0, and the page says so.
      await packInPage(driver, images, { nearest: false });
      assert.match(await driver.page.$eval("#pack-result", (result) => result.textContent),
                   /Every frame is at offsets 0,0: choose the original sprite/);
    });
  });

  test("saves the animation and puts it into the ZIP as kelvane-convert --anim writes them", async () => {
    await withPage(async (driver) => {
      await driver.openSprites([bounce]);
      await driver.select("bounce.dc6");
      await driver.page.$eval("#fps", (field) => {
        field.value = "25";
        field.dispatchEvent(new Event("change", { bubbles: true }));
      });
      for (const format of ["apng", "gif"]) {
        const out = temporaryFolder("anim");
        const native = run(converter, ["-q", "-C", samples, "-o", out, "--anim", format, "--fps", "25", "bounce.dc6"]);
        assert.equal(native.status, 0, native.err);
        await driver.page.select("#animation-format", format);
        const saved = await driver.download("#save-animation");
        assert.equal(saved.name, `bounce.${format}`);
        assert.ok(saved.bytes.equals(fs.readFileSync(path.join(out, `bounce.${format}`))), format);
      }
      // The ZIP with "animation" on: -o DIR --anim gif --fps 25, file for file.
      await driver.setOptions({ format: "png", scope: "selected" });
      await driver.page.$eval("#animation-files", (box) => { box.checked = true; });
      const zip = await driver.download("#download-zip");
      const out = temporaryFolder("zip");
      assert.equal(run(converter, ["-q", "-C", samples, "-f", "png", "-o", out, "--anim", "gif", "--fps", "25",
                                   "bounce.dc6"]).status, 0);
      const entries = new Map(Object.entries(unzipSync(new Uint8Array(zip.bytes)))
        .map(([name, data]) => [name, Buffer.from(data)]));
      assertSameFiles(entries, filesOf(out), "the ZIP with the animation");
      assert.deepEqual(driver.errors, []);
    });
  });
});

// bounce's manifest as the converter writes it, for the frames' offsets.
function convertedManifest() {
  const folder = temporaryFolder("manifest");
  assert.equal(run(converter, ["-q", "-C", samples, "--json", "-o", folder, "bounce.dc6"]).status, 0);
  return folder;
}
