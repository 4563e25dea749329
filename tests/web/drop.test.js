// Files and folders dropped onto the page opened as a file (as the README
// tells people to open it) and served: a real drag and drop, as the browser
// gives it to the page.
"use strict";

const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { describe, test } = require("node:test");
const { samples, temporaryFolder, pageHarness } = require("./support");

const harness = pageHarness();

// Drags the files (paths on disk) from outside the window and drops them
// onto the element selector names, as the browser's input does.
async function drop(driver, selector, files) {
  const session = await driver.page.createCDPSession();
  const box = await (await driver.page.$(selector)).boundingBox();
  const x = box.x + box.width / 2, y = box.y + Math.min(box.height / 2, 20);
  const data = { items: [], files, dragOperationsMask: 1 };
  for (const type of ["dragEnter", "dragOver", "drop"]) await session.send("Input.dispatchDragEvent", { type, x, y, data });
  await session.detach();
}

const listed = (driver) => driver.page.$$eval("#sprite-list li[data-sprite]", (items) => items.map((item) => item.dataset.sprite));

describe("dropping onto the page", () => {
  for (const origin of ["file", "served"]) {
    test(`${origin === "file" ? "opened as a file" : "served"}: dropped sprites are listed, a dropped folder too or said`, async () => {
      await harness.withPage(origin === "file" ? harness.file : harness.served, async (driver) => {
        assert.equal(await driver.page.$eval("#no-sprites", (zone) => zone.hidden || zone.offsetHeight === 0), false,
                     "the drop zone shows while the list is empty");
        await drop(driver, "#sprites", ["gem.dc6", "bounce.dc6"].map((name) => path.join(samples, name)));
        await driver.waitFor(() => document.querySelectorAll("#sprite-list li[data-sprite]").length === 2);
        await driver.idle();
        assert.deepEqual(await listed(driver), ["bounce.dc6", "gem.dc6"]);

        const top = temporaryFolder("dropped");
        fs.mkdirSync(path.join(top, "walk"));
        fs.copyFileSync(path.join(samples, "valley.dc6"), path.join(top, "walk", "valley.dc6"));
        fs.writeFileSync(path.join(top, "notes.txt"), "not a palette");  // a folder's other files stay out
        await drop(driver, "#viewer", [top]);
        // A folder dropped alone is taken as Choose a folder… takes it.
        await driver.waitFor(() => document.querySelectorAll("#sprite-list li[data-sprite]").length === 3 ||
          document.querySelector("#notices li"));
        await driver.idle();
        assert.deepEqual(await listed(driver), ["bounce.dc6", "gem.dc6", "walk/valley.dc6"], JSON.stringify(await driver.notices()));
        assert.deepEqual((await driver.notices()).filter((line) => line.includes("notes.txt")), []);
        assert.deepEqual(driver.errors, []);
      });
    });
  }
});
