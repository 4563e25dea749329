// The page against files that try to make it lose or mix up work: sprites of
// one name in two folders, a name the converter cannot write, a refused
// palette of the name in use, files gone from disk before a Cancel, and an
// image too large for the page's memory.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const zlib = require("node:zlib");
const { describe, test } = require("node:test");
const { unzipSync } = require("fflate");
const { converter, samples, temporaryFolder, pageHarness, run, assertSameFiles, spriteOf } = require("./support");

// Every file below folder by its path ('/' between parts).
function treeOf(folder, prefix = "") {
  const files = new Map();
  for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
    const at = path.join(folder, entry.name);
    const name = prefix + entry.name;
    if (entry.isDirectory()) for (const [inner, bytes] of treeOf(at, name + "/")) files.set(inner, bytes);
    else files.set(name, fs.readFileSync(at));
  }
  return files;
}

const unzipped = (bytes) =>
  new Map(Object.entries(unzipSync(new Uint8Array(bytes))).map(([name, data]) => [name, Buffer.from(data)]));

// An 8-bit indexed PNG of width x height, every pixel index 0.
function indexedPng(width, height) {
  const chunk = (type, data) => {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(data.length, 0);
    head.write(type, 4, "latin1");
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(zlib.crc32(Buffer.concat([head.subarray(4), data])), 0);
    return Buffer.concat([head, data, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;   // bits per index
  header[9] = 3;   // indexed colour
  const rows = Buffer.alloc(height * (width + 1));  // filter 0, index 0 everywhere
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk("IHDR", header),
    chunk("PLTE", Buffer.alloc(768)), chunk("IDAT", zlib.deflateSync(rows, { level: 1 })), chunk("IEND", Buffer.alloc(0)),
  ]);
}

const harness = pageHarness();
const withPage = (body) => harness.withPage(harness.served, body);

const noticeWith = (driver, text) =>
  driver.waitFor((wanted) => [...document.querySelectorAll("#notices li")].some((item) => item.textContent.includes(wanted)), text);

describe("the page keeps every sprite and file it was given", () => {
  test("a folder with one name in two sub-folders: both listed by path, the ZIP mirrored as -r -o writes it", async () => {
    const top = temporaryFolder("tree");
    fs.mkdirSync(path.join(top, "a"));
    fs.mkdirSync(path.join(top, "b"));
    fs.copyFileSync(path.join(samples, "gem.dc6"), path.join(top, "a", "x.dc6"));
    fs.copyFileSync(path.join(samples, "bounce.dc6"), path.join(top, "b", "x.dc6"));
    fs.copyFileSync(path.join(samples, "damaged.dc6"), path.join(top, "y.dc6"));
    const mirror = path.join(temporaryFolder("mirror"), "out");
    const native = run(converter, ["-q", "-r", "-f", "png", "--json", "-o", mirror], { cwd: top });
    assert.equal(native.status, 1, native.err);

    await withPage(async (driver) => {
      await driver.choose("#sprite-folder", [top]);
      await driver.waitFor(() => document.querySelectorAll("#sprite-list li[data-sprite]").length === 3);
      await driver.idle();
      const listed = await driver.page.$$eval("#sprite-list li[data-sprite]", (items) => items.map((item) => item.dataset.sprite));
      // As the run over the tree takes them: the folder's own sprite first.
      assert.deepEqual(listed, ["y.dc6", "a/x.dc6", "b/x.dc6"]);
      await driver.setOptions({ format: "png", manifest: true });
      const zip = await driver.download("#download-zip");
      assertSameFiles(unzipped(zip.bytes), treeOf(mirror), "the mirrored tree");
      const notices = await driver.notices();
      for (const line of native.err.trim().split("\n")) assert.ok(notices.includes(line), line);
    });
  });

  test("a name too long for the converter is left out with a notice naming it; control characters are printed escaped", async () => {
    const name = "Ж".repeat(126) + ".dc6";
    const odd = "a\u009b[31m\nb\u007f.dc6";  // C1 (CSI), C0 and DEL
    const gem = fs.readFileSync(path.join(samples, "gem.dc6")).toString("base64");
    await withPage(async (driver) => {
      await driver.page.evaluate((names, base64) => {
        const transfer = new DataTransfer();
        for (const name of names) transfer.items.add(new File([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))], name));
        const input = document.getElementById("sprite-files");
        input.files = transfer.files;
        input.dispatchEvent(new Event("change"));
      }, [name, odd], gem);
      await noticeWith(driver, name);
      await driver.idle();
      const notice = (await driver.notices()).find((line) => line.includes(name));
      assert.match(notice, /256 bytes.*left out/);
      const listed = await driver.page.$$eval("#sprite-list li[data-sprite]", (items) =>
        items.map((item) => [item.dataset.sprite, item.querySelector(".name").textContent]));
      assert.deepEqual(listed, [[odd, "a\\xC2\\x9B[31m\\x0Ab\\x7F.dc6"]]);
    });
  });

  test("a refused palette of the name in use, files removed from disk, and Cancel: the page's own copies go on", async () => {
    const folder = temporaryFolder("gone");
    for (const name of ["gem.dc6", "bounce.dc6", "warm.pal"]) fs.copyFileSync(path.join(samples, name), path.join(folder, name));
    fs.writeFileSync(path.join(folder, "long.dc6"),
                     spriteOf(Array.from({ length: 12 }, (_, i) => ({ width: 6000, height: 6000, xOffset: i }))));
    const refusedFolder = temporaryFolder("refused");
    fs.writeFileSync(path.join(refusedFolder, "warm.pal"), "not a palette");
    const expected = path.join(temporaryFolder("expected"), "out");
    assert.equal(run(converter, ["-q", "-p", "warm.pal", "-o", expected, "gem.dc6", "bounce.dc6"], { cwd: folder }).status, 0);

    await withPage(async (driver) => {
      await driver.openSprites(["gem.dc6", "bounce.dc6", "long.dc6"].map((name) => path.join(folder, name)));
      await driver.choose("#palette-file", [path.join(folder, "warm.pal")]);
      await driver.waitFor(() => document.getElementById("palette-name").textContent === "warm.pal");
      await driver.idle();
      await driver.choose("#palette-file", [path.join(refusedFolder, "warm.pal")]);
      await noticeWith(driver, "warm.pal was not taken");
      await driver.idle();

      for (const name of ["gem.dc6", "bounce.dc6", "warm.pal"]) fs.rmSync(path.join(folder, name));
      await driver.setOptions({ format: "png", scope: "selected" });
      await driver.select("long.dc6");
      await driver.page.click("#download-zip");
      await driver.waitFor(() => document.getElementById("busy").classList.contains("shown"));
      await driver.page.click("#cancel");
      await noticeWith(driver, "cancelled");
      await driver.idle();

      await driver.select("gem.dc6");
      await driver.setOptions({ format: "pcx", scope: "selected" });
      const gem = await driver.download("#download-zip");
      await driver.select("bounce.dc6");
      const bounce = await driver.download("#download-zip");
      const saved = new Map([...unzipped(gem.bytes), ...unzipped(bounce.bytes)]);
      assertSameFiles(saved, treeOf(expected), "gem and bounce with warm.pal after Cancel");
      assert.equal(await driver.page.$eval("#palette-name", (element) => element.textContent), "warm.pal");
    });
  });

  // The images a run wrote into each folder's PCXFiles, by the paths -r -o DIR gives them.
  function imagesOfTree(folder, prefix = "") {
    const files = new Map();
    for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
      if (!entry.isDirectory()) continue;
      const at = path.join(folder, entry.name);
      if (entry.name === "PCXFiles") for (const [name, bytes] of treeOf(at)) files.set(prefix + name, bytes);
      else for (const [name, bytes] of imagesOfTree(at, `${prefix}${entry.name}/`)) files.set(name, bytes);
    }
    return files;
  }

  for (const layout of ["flat", "tree"]) {
    test(`many sprites (${layout}) converted in shares give one run's files, notices and count, clashing names settled alike`, async () => {
      const folder = temporaryFolder("many");
      const kinds = ["bounce", "gem", "damaged", "valley"];
      const names = [];
      for (let i = 0; i < 36; ++i) {
        const sub = layout === "tree" && i >= 20 ? (i >= 28 ? "sub/deeper/" : "sub/") : "";
        fs.mkdirSync(path.join(folder, sub), { recursive: true });
        const name = `${sub}s${String(i).padStart(2, "0")}.dc6`;
        fs.copyFileSync(path.join(samples, kinds[i % 4] + ".dc6"), path.join(folder, name));
        names.push(name);
      }
      // s07.dc6 writes s070 … s077.png; s073.dc6, next in the run's order,
      // would write s073.png, which the run has written already: whatever the
      // cut into shares, the two are settled as one run settles them.
      fs.copyFileSync(path.join(samples, "bounce.dc6"), path.join(folder, "s07.dc6"));
      fs.copyFileSync(path.join(samples, "gem.dc6"), path.join(folder, "s073.dc6"));
      names.push("s073.dc6");
      const native = run(converter, ["-q", ...(layout === "tree" ? ["-r"] : []), "-f", "png", "--json"], { cwd: folder });
      assert.match(native.err, /s073\.png was already written/);

      await withPage(async (driver) => {
        if (layout === "tree") {
          await driver.choose("#sprite-folder", [folder]);
          await driver.waitFor((count) => document.querySelectorAll("#sprite-list li[data-sprite]").length === count, names.length);
          await driver.idle();
        } else {
          await driver.openSprites(names.map((name) => path.join(folder, name)));
        }
        await driver.page.click("#clear-notices");
        await driver.setOptions({ format: "png", manifest: true });
        const zip = await driver.download("#download-zip");
        assertSameFiles(unzipped(zip.bytes), imagesOfTree(folder), `the ZIP of ${names.length} sprites`);
        // Its checksums and directory as another reader sees them.
        const saved = path.join(temporaryFolder("zip"), "images.zip");
        fs.writeFileSync(saved, zip.bytes);
        const checked = run("python3", ["-c", "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); " +
                                        "print(z.testzip(), len(z.namelist()))", saved]);
        assert.equal(checked.out.trim(), `None ${imagesOfTree(folder).size}`, checked.err);
        const said = (await driver.notices()).filter((line) => line.startsWith("kelvane-convert") || line.startsWith("Successfully"));
        assert.deepEqual(said.sort(), [...native.err.trim().split("\n"), native.out.trim()].sort());
      });
    });
  }

  test("an image too large for the page's memory to pack gives 'Not enough memory', not a number", async () => {
    const folder = temporaryFolder("large");
    const image = path.join(folder, "large.png");
    fs.writeFileSync(image, indexedPng(20000, 20000));
    await withPage(async (driver) => {
      await driver.choose("#pack-files", [image]);
      await noticeWith(driver, "Not enough memory");
      await driver.idle();
      assert.match(await driver.page.$eval("#pack-result", (element) => element.textContent), /Nothing was packed/);
      assert.deepEqual(driver.errors, []);
    });
  });
});
