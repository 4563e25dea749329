// Renews the help's and the README's picture of the page (help/images/
// web-page.png) from the real page in headless Chromium: the sample sprites
// listed, the bouncing ball selected.
//
// usage: NODE_PATH=build/web-deps/npm/node_modules node tools/web-screenshot.js [WEB_FOLDER]   (default build/web)
"use strict";

const path = require("node:path");

process.env.KELVANE_WEB_DIR = path.resolve(process.argv[2] || path.join(__dirname, "..", "build", "web"));
const { launch, PageDriver, samples, sampleSprites } = require("../tests/web/support");

(async () => {
  const browser = await launch();
  try {
    const driver = await PageDriver.open(browser, "file://" + path.join(process.env.KELVANE_WEB_DIR, "index.html"));
    await driver.page.setViewport({ width: 1180, height: 820 });
    await driver.openSprites(sampleSprites.map((name) => path.join(samples, name)));
    await driver.select("bounce.dc6");
    await driver.page.click("#step");
    await driver.page.click("#step");
    const target = path.join(__dirname, "..", "help", "images", "web-page.png");
    await driver.page.screenshot({ path: target });
    console.log(target);
  } finally {
    await browser.dispose();
  }
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
