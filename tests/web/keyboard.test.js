// The page by keyboard and screen reader, and its player: the whole journey
// with keys alone, axe-core's checks in the states a user meets, at desktop
// and phone sizes in both colour schemes, and what the player and the page
// keep across a reload.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { describe, test } = require("node:test");
const { converter, samples, sampleSprites, keep, temporaryFolder, pageHarness, run, folderWith } = require("./support");

const axeSource = fs.readFileSync(require.resolve("axe-core/axe.min.js"), "utf8");
const samplePaths = sampleSprites.map((name) => path.join(samples, name));

const harness = pageHarness();

function withPage(body, viewport = { width: 1366, height: 768 }) {
  return harness.withPage(harness.file, async (driver) => {
    // Each test starts from the page's defaults: what an earlier one chose is remembered.
    await driver.page.evaluate(() => window.localStorage.clear());
    await driver.page.reload();
    await driver.waitFor(() => document.getElementById("palette-name").textContent === "built-in");
    await driver.page.setViewport(viewport);
    await body(driver);
  });
}

// axe-core's violations on the page as it stands, one line each.
async function violations(driver) {
  if (!(await driver.page.evaluate(() => typeof window.axe === "object"))) await driver.page.addScriptTag({ content: axeSource });
  return driver.page.evaluate(async () => {
    const result = await window.axe.run(document, { resultTypes: ["violations"] });
    return result.violations.map((rule) => `${rule.id} (${rule.impact}): ${rule.nodes.map((node) => node.target.join(" ")).join(", ")}`);
  });
}

// Presses Tab until the element with the focus matches selector; fails after limit presses.
async function tabTo(driver, selector, limit = 60) {
  for (let i = 0; i < limit; ++i) {
    if (await driver.page.evaluate((wanted) => document.activeElement && document.activeElement.matches(wanted), selector)) return;
    await driver.page.keyboard.press("Tab");
  }
  assert.fail(`Tab never reached ${selector}`);
}

const shownFrame = (driver) => driver.page.$eval("#animation", (canvas) => canvas.dataset.frame);
const offered = (driver) => driver.page.evaluate(() => window.kelvaneOffered.map((file) => file.name));

describe("keyboard, screen reader and player", () => {
  test("the whole journey by keyboard: choose, select, play, step, save the frame shown and the ZIP", async () => {
    await withPage(async (driver) => {
      await tabTo(driver, "#sprite-files");
      // The browser hears of the chooser to catch only a moment after it is asked.
      const chooser = driver.page.waitForFileChooser({ timeout: 10000 });
      await new Promise((resolve) => setTimeout(resolve, 300));
      await driver.page.keyboard.press("Enter");
      await (await chooser).accept(samplePaths);
      await driver.waitFor(() => document.querySelectorAll("#sprite-list li[data-sprite]").length === 4);
      await driver.idle();

      // One stop of Tab for the list; the arrows move in it and select.
      await tabTo(driver, "#sprite-list li[data-sprite]");
      await driver.page.keyboard.press("Home");
      await driver.page.keyboard.press("ArrowDown");
      await driver.waitFor(() => document.getElementById("viewer").dataset.drawn === "damaged.dc6");
      await driver.page.keyboard.press("ArrowUp");
      await driver.waitFor(() => document.getElementById("viewer").dataset.drawn === "bounce.dc6");
      assert.equal(await driver.page.$$eval("#sprite-list [tabindex='0']", (items) => items.length), 1);

      // The frames: reached with Tab, played and stepped with keys.
      await tabTo(driver, "#frames [role=option]");
      await driver.page.keyboard.press(" ");
      await driver.waitFor(() => document.getElementById("play").textContent === "Pause");
      const seen = await shownFrame(driver);
      await driver.waitFor((first) => document.getElementById("animation").dataset.frame !== first, seen);
      await driver.page.keyboard.press(" ");
      assert.equal(await driver.page.$eval("#play", (button) => button.textContent), "Play");
      await driver.page.keyboard.press("Home");
      assert.equal(await shownFrame(driver), "0");
      await driver.page.keyboard.press("End");
      assert.equal(await shownFrame(driver), "7");
      await driver.page.keyboard.press(".");
      assert.equal(await shownFrame(driver), "0");
      await driver.page.keyboard.press("ArrowRight");
      await driver.page.keyboard.press("ArrowRight");
      await driver.page.keyboard.press(",");
      await driver.page.keyboard.press("ArrowRight");
      assert.equal(await shownFrame(driver), "2");
      assert.equal(await driver.page.evaluate(() => document.activeElement.dataset.index), "2", "the focus follows the frame");

      // Save this image saves the frame chosen, as the converter writes it.
      await tabTo(driver, "#download-image");
      await driver.page.keyboard.press("Enter");
      await driver.waitFor(() => window.kelvaneOffered.length === 1);
      await driver.idle();
      const native = folderWith([path.join(samples, "bounce.dc6")]);
      assert.equal(run(converter, ["-q", "bounce.dc6"], { cwd: native }).status, 0);
      assert.deepEqual(await offered(driver), ["bounce2.pcx"]);
      const bytes = await driver.page.evaluate(async () =>
        [...new Uint8Array(await (await fetch(window.kelvaneOffered[0].href)).arrayBuffer())]);
      assert.ok(Buffer.from(bytes).equals(fs.readFileSync(path.join(native, "PCXFiles", "bounce2.pcx"))), "bounce2.pcx");

      // A check box and a select by keys, then Save ZIP with Space.
      await tabTo(driver, "#onion");
      await driver.page.keyboard.press(" ");
      assert.equal(await driver.page.$eval("#onion", (box) => box.checked), true);
      await tabTo(driver, "#download-zip");
      await driver.page.keyboard.press(" ");
      await driver.waitFor(() => window.kelvaneOffered.length === 2);
      assert.deepEqual(await offered(driver), ["bounce2.pcx", "kelvane-images.zip"]);
      assert.deepEqual(driver.errors, []);
    });
  });

  for (const viewport of [{ width: 1366, height: 768 }, { width: 390, height: 844 }]) {
    test(`axe-core finds nothing at ${viewport.width}x${viewport.height}, light and dark: empty, listed, playing, packing`, async () => {
      await withPage(async (driver) => {
        const found = [];
        const look = async (state) => {
          for (const scheme of ["light", "dark"]) {
            await driver.page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: scheme }]);
            for (const line of await violations(driver)) found.push(`${state}, ${scheme}: ${line}`);
            if (state !== "empty") {
              await driver.page.screenshot({ path: path.join(keep, `page-${viewport.width}-${state}-${scheme}.png`) });
            }
          }
        };
        await look("empty");
        await driver.openSprites(samplePaths);
        await driver.select("bounce.dc6");
        await look("listed");
        await driver.page.click("#play");
        await look("playing");
        await driver.page.click("#play");
        const edit = temporaryFolder("edit");
        assert.equal(run(converter, ["-q", "-C", samples, "-f", "png", "--json", "-o", edit, "gem.dc6"]).status, 0);
        await driver.choose("#pack-files", fs.readdirSync(edit).map((name) => path.join(edit, name)));
        await driver.waitFor(() => !document.getElementById("download-dc6").disabled);
        await driver.idle();
        await look("packing");
        assert.deepEqual(found, []);

        // Whatever the zoom, the page is never wider than the window: the viewer scrolls.
        for (const name of ["valley.dc6", "bounce.dc6"]) {
          await driver.select(name);
          await driver.page.evaluate(() => {
            const zoom = document.getElementById("zoom");
            zoom.value = "8";
            zoom.dispatchEvent(new Event("input"));
          });
          assert.equal(await driver.page.evaluate(() => document.documentElement.scrollWidth), viewport.width, name);
        }
      }, viewport);
    });
  }

  test("the player: frame rate as played, onion skin, background, fit; the options kept across a reload", async () => {
    await withPage(async (driver) => {
      await driver.openSprites(samplePaths);
      await driver.select("bounce.dc6");
      const setField = (id, value) => driver.page.evaluate((id, value) => {
        const field = document.getElementById(id);
        field.value = value;
        field.dispatchEvent(new Event("change"));
      }, id, value);
      await setField("fps", "250");
      assert.equal(await driver.page.$eval("#fps", (field) => field.value), "100");
      assert.match(await driver.page.$eval("#fps-note", (note) => note.textContent), /250 frames\/s .* 100 frames\/s is played/);
      await setField("fps", "60");
      assert.equal(await driver.page.$eval("#fps", (field) => field.value), "60");
      assert.equal(await driver.page.$eval("#fps-note", (note) => note.textContent), "");

      // Onion skin draws the neighbours, faint, where the frame shown leaves the stage empty.
      const stage = () => driver.page.$eval("#animation", (canvas) => {
        const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
        let faint = 0;
        for (let i = 3; i < data.length; i += 4) if (data[i] > 0 && data[i] < 255) ++faint;
        return faint;
      });
      assert.equal(await stage(), 0);
      await driver.page.click("#onion");
      assert.equal(await driver.page.$eval("#onion", (box) => box.checked), true);
      assert.ok(await stage() > 0, "the ghosted frames are drawn");

      await setField("background", "colour");
      await setField("background-colour", "#336699");
      await driver.page.$eval("#background-colour", (field) => field.dispatchEvent(new Event("input")));
      assert.equal(await driver.page.$eval("#animation", (canvas) => getComputedStyle(canvas).backgroundColor), "rgb(51, 102, 153)");

      // A stitched sprite's one picture: each frame where the converter's PNG has it.
      await setField("background", "checker");
      await driver.select("valley.dc6");
      const png = folderWith([path.join(samples, "valley.dc6")]);
      assert.equal(run(converter, ["-q", "-f", "png", "valley.dc6"], { cwd: png }).status, 0);
      const wrong = await driver.stageAgainst(fs.readFileSync(path.join(png, "PCXFiles", "valley.png")));
      assert.equal(wrong, 0, "the stitched picture as the converter writes it");
      await setField("background", "transparent-index");

      await driver.page.setViewport({ width: 390, height: 844 });
      await driver.page.click("#fit");
      const fitted = await driver.page.$eval("#animation", (canvas) => canvas.getBoundingClientRect().right);
      assert.ok(fitted <= 390, `the fitted animation ends at ${fitted}`);

      await setField("format", "png");
      await setField("scheme", "dark");
      // The page stores its settings a moment after the change.
      await driver.waitFor(() => JSON.parse(window.localStorage.getItem("kelvane-settings") || "{}").scheme === "dark");
      await driver.page.reload();
      await driver.waitFor(() => document.getElementById("palette-name").textContent === "built-in");
      const kept = await driver.page.evaluate(() => ({
        format: document.getElementById("format").value, fps: document.getElementById("fps").value,
        onion: document.getElementById("onion").checked, fit: document.getElementById("fit").checked,
        background: document.getElementById("background").value, scheme: document.documentElement.dataset.scheme,
        sprites: document.querySelectorAll("#sprite-list li").length,
      }));
      assert.deepEqual(kept, { format: "png", fps: "60", onion: true, fit: true, background: "transparent-index", scheme: "dark",
                             sprites: 0 });
      assert.deepEqual(await driver.page.$eval("footer a", (link) => [link.getAttribute("href"), link.target]), ["help/web.html", "_blank"]);
    });
  });

  test("notices are grouped by sprite and cleared with their button", async () => {
    await withPage(async (driver) => {
      await driver.openSprites(samplePaths);
      const groups = await driver.page.$$eval("#notices li.group", (items) =>
        items.map((item) => [item.dataset.subject, item.querySelectorAll("li").length]));
      assert.deepEqual(groups, [["damaged.dc6", 2]]);
      await driver.page.click("#clear-notices");
      assert.deepEqual(await driver.notices(), []);
    });
  });
});
