// What the page's tests share: Chromium driven by puppeteer-core, the page
// served on 127.0.0.1 or opened as a file, downloads caught where Chromium
// saves them, the native tools run on the same files, and small sprites made
// here.
"use strict";

const assert = require("node:assert/strict");
const childProcess = require("node:child_process");
const fs = require("node:fs");
const http = require("node:http");
const os = require("node:os");
const path = require("node:path");
const puppeteer = require("puppeteer-core");

const root = path.resolve(__dirname, "..", "..");
const webFolder = process.env.KELVANE_WEB_DIR || path.join(root, "build", "web");
const nativeFolder = process.env.KELVANE_NATIVE_DIR || path.join(root, "build", "native");
const converter = path.join(nativeFolder, "cli", "kelvane-convert");
const packer = path.join(nativeFolder, "cli", "kelvane-pack");
const samples = path.join(webFolder, "samples");
const sampleSprites = ["bounce.dc6", "damaged.dc6", "gem.dc6", "valley.dc6"];
// Screenshots and other keepsakes of the run.
const keep = process.env.KELVANE_WEB_TEST_OUT || path.join(root, "build", "web-test");

// Folders made for a run, removed when the process ends.
const made = [];
process.on("exit", () => {
  for (const folder of made) fs.rmSync(folder, { recursive: true, force: true });
});

function temporaryFolder(label) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), `kelvane-web-${label}-`));
  made.push(folder);
  return folder;
}

// The page's folder over HTTP on 127.0.0.1, as any static host serves it.
function serve(folder) {
  const types = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".png": "image/png" };
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, "http://127.0.0.1");
    const wanted = url.pathname.endsWith("/") ? url.pathname + "index.html" : url.pathname;
    const file = path.join(folder, path.normalize(decodeURIComponent(wanted)).replace(/^(\.\.[/\\])+/, ""));
    if (request.method !== "GET" || !file.startsWith(folder) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// Chromium as root on a machine whose network is closed: no sandbox, no
// background connections, a profile of its own.
async function launch() {
  const profile = temporaryFolder("profile");
  const browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium",
    userDataDir: profile,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  browser.dispose = async () => {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true, maxRetries: 5, retryDelay: 200 });
  };
  return browser;
}

// How long a download the page offered may go unheard of by the browser.
const kUnheardDownload = 15000;

// The page, opened at url, with its downloads going to a folder of their own
// and every request it makes recorded.
class PageDriver {
  static async open(browser, url) {
    const driver = new PageDriver();
    driver.page = await browser.newPage();
    driver.requests = [];
    driver.errors = [];
    driver.page.on("request", (request) => driver.requests.push(request.url()));
    driver.page.on("pageerror", (error) => driver.errors.push(error.message));
    await driver.page.setViewport({ width: 1280, height: 960 });
    driver.downloads = temporaryFolder("downloads");
    // Downloads belong to the browser: one session of its own hears them.
    browser.downloadSession = browser.downloadSession || await browser.target().createCDPSession();
    driver.session = browser.downloadSession;
    await driver.session.send("Browser.setDownloadBehavior",
                              { behavior: "allow", downloadPath: driver.downloads, eventsEnabled: true });
    // The files the page offers: the name and address of each link it clicks to save one.
    await driver.page.evaluateOnNewDocument(() => {
      window.kelvaneOffered = [];
      const click = HTMLAnchorElement.prototype.click;
      HTMLAnchorElement.prototype.click = function () {
        if (this.download) window.kelvaneOffered.push({ name: this.download, href: this.href });
        return click.call(this);
      };
    });
    await driver.page.goto(url);
    await driver.waitFor(() => document.getElementById("palette-name").textContent === "built-in" &&
                               document.getElementById("busy").hidden);
    return driver;
  }

  // Waits until fn(arg) holds in the page, looking every 50 ms (a page in
  // the background draws no animation frames to look at).
  waitFor(fn, arg, timeout = 60000) {
    return this.page.waitForFunction(fn, { polling: 50, timeout }, arg);
  }

  async choose(selector, files) {
    const input = await this.page.$(selector);
    await input.uploadFile(...files);
  }

  // Waits until the busy line is gone, the page's work done.
  async idle() {
    await this.waitFor(() => document.getElementById("busy").hidden, undefined, 120000);
  }

  async openSprites(files) {
    await this.choose("#sprite-files", files);
    const names = files.map((file) => path.basename(file));
    await this.waitFor(
      (wanted) => wanted.every((name) => document.querySelector(`#sprite-list li[data-sprite="${CSS.escape(name)}"]`)),
      names, 120000);
    await this.idle();
  }

  async select(name) {
    await this.page.click(`#sprite-list li[data-sprite="${name}"]`);
    await this.waitFor((wanted) => document.getElementById("viewer").dataset.drawn === wanted, name);
  }

  async setOptions({ format = "pcx", manifest = false, sheet = false, transparency = true, scope = "all" }) {
    await this.page.evaluate((choice) => {
      document.getElementById("format").value = choice.format;
      document.getElementById("manifest").checked = choice.manifest;
      document.getElementById("sheet").checked = choice.sheet;
      document.getElementById("transparency").checked = choice.transparency;
      document.getElementById("zip-scope").value = choice.scope;
    }, { format, manifest, sheet, transparency, scope });
  }

  // Clicks selector and gives the file the page then saves: its name and bytes.
  async download(selector, timeout = 120000) {
    let timer;
    const late = new Promise((_, reject) => {
      timer = setTimeout(async () => {
        const notices = await this.notices().catch(() => []);
        reject(new Error(`no download after clicking ${selector}; the page's notices: ${JSON.stringify(notices)}`));
      }, timeout);
    });
    try {
      return await Promise.race([this.downloadOnce(selector), late]);
    } finally {
      clearTimeout(timer);
    }
  }

  async downloadOnce(selector) {
    const offeredBefore = await this.page.evaluate(() => window.kelvaneOffered.length);
    const begun = new Promise((resolve) => this.session.once("Browser.downloadWillBegin", resolve));
    // The button's own click, given as the user's (a click of the mouse can
    // land beside it while the page is still laying itself out).
    await this.page.$eval(selector, (button) => button.click());
    // Now and then headless Chromium lets a download that the page began
    // (its link clicked, the click the user's) go by without a word: the
    // file the page offered is then read from the page itself.
    const offered = this.waitFor((before) => window.kelvaneOffered.length > before, offeredBefore, 120000)
      .then(() => new Promise((resolve) => setTimeout(resolve, kUnheardDownload).unref()))
      .then(() => null, () => new Promise(() => {}));  // never offered: the caller's time runs out
    const started = await Promise.race([begun, offered]);
    if (started === null) {
      const { name, base64 } = await this.page.evaluate(async (before) => {
        const { name, href } = window.kelvaneOffered[before];
        const bytes = new Uint8Array(await (await fetch(href)).arrayBuffer());
        let text = "";
        for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
        return { name, base64: btoa(text) };
      }, offeredBefore);
      console.error(`# ${name}: no download event from the browser; the file the page offered is used`);
      return { name, bytes: Buffer.from(base64, "base64") };
    }
    const { guid, suggestedFilename } = started;
    await new Promise((resolve, reject) => {
      const progress = (event) => {
        if (event.guid !== guid) return;
        if (event.state === "completed") resolve();
        if (event.state === "canceled") reject(new Error("download cancelled"));
        if (event.state !== "inProgress") this.session.off("Browser.downloadProgress", progress);
      };
      this.session.on("Browser.downloadProgress", progress);
    });
    const file = path.join(this.downloads, suggestedFilename);
    return { name: suggestedFilename, bytes: fs.readFileSync(file) };
  }

  // The notices the page shows, line by line.
  notices() {
    return this.page.$$eval("#notices li", (items) => items.map((item) => item.textContent));
  }

  // How the animation's stage differs from the first image of a PNG or APNG
  // file (its bytes), decoded by the browser: its size as "W x H" when that
  // differs, else the number of pixels that differ (alpha, and the colour
  // where opaque), leaving out the pixels at the [x, y] of skip.
  stageAgainst(bytes, skip = []) {
    return this.page.evaluate(async (base64, skipped) => {
      const bitmap = await createImageBitmap(new Blob([Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))]),
                                             { premultiplyAlpha: "none", colorSpaceConversion: "none" });
      const stage = document.getElementById("animation");
      if (stage.width !== bitmap.width || stage.height !== bitmap.height) return `${stage.width} x ${stage.height}`;
      const decoded = new OffscreenCanvas(bitmap.width, bitmap.height).getContext("2d");
      decoded.drawImage(bitmap, 0, 0);
      const want = decoded.getImageData(0, 0, bitmap.width, bitmap.height).data;
      const have = stage.getContext("2d").getImageData(0, 0, bitmap.width, bitmap.height).data;
      const left = new Set(skipped.map(([x, y]) => 4 * (y * bitmap.width + x)));
      let differing = 0;
      for (let i = 0; i < want.length; i += 4) {
        if (left.has(i)) continue;
        if (want[i + 3] !== have[i + 3] || (want[i + 3] > 0 && (want[i] !== have[i] || want[i + 1] !== have[i + 1] || want[i + 2] !== have[i + 2]))) ++differing;
      }
      return differing;
    }, Buffer.from(bytes).toString("base64"), skip);
  }

  // Requests that left the page's own origin (the page loads nothing else).
  foreignRequests(origin) {
    return this.requests.filter((url) => !url.startsWith(origin) && !url.startsWith("blob:") && !url.startsWith("data:"));
  }
}

// What each test file of the page uses: one browser and the page's folder
// served on 127.0.0.1, from before its first test to after its last. file and
// served are the page's two addresses (served known once the tests run);
// withPage(url, body) opens the page at url, runs body(driver) and closes the
// page however body ends.
function pageHarness() {
  const { after, before } = require("node:test");
  const harness = { file: "file://" + path.join(webFolder, "index.html"), served: null, browser: null };
  let server = null;
  before(async () => {
    fs.mkdirSync(keep, { recursive: true });
    server = await serve(webFolder);
    harness.served = `http://127.0.0.1:${server.address().port}/`;
    harness.browser = await launch();
  });
  after(async () => {
    if (harness.browser) await harness.browser.dispose();
    if (server) server.close();
  });
  harness.withPage = async (url, body) => {
    const driver = await PageDriver.open(harness.browser, url);
    try {
      await body(driver);
    } finally {
      await driver.page.close();
    }
  };
  return harness;
}

// Runs a native tool; gives its status and output. limitKiB caps its address space.
function run(tool, args, { cwd, limitKiB } = {}) {
  const command = limitKiB ? "/bin/sh" : tool;
  const argv = limitKiB ? ["-c", `ulimit -v ${limitKiB} && exec "$0" "$@"`, tool, ...args] : args;
  const done = childProcess.spawnSync(command, argv, { cwd, encoding: "buffer" });
  return { status: done.status, out: done.stdout.toString(), err: done.stderr.toString() };
}

// A folder holding copies of the given files.
function folderWith(files) {
  const folder = temporaryFolder("files");
  for (const file of files) fs.copyFileSync(file, path.join(folder, path.basename(file)));
  return folder;
}

// Every file of a folder by name.
function filesOf(folder) {
  const files = new Map();
  for (const name of fs.readdirSync(folder).sort()) files.set(name, fs.readFileSync(path.join(folder, name)));
  return files;
}

function assertSameFiles(actual, expected, what) {
  assert.deepEqual([...actual.keys()].sort(), [...expected.keys()].sort(), `${what}: the same file names`);
  for (const [name, bytes] of expected) {
    assert.ok(Buffer.compare(Buffer.from(actual.get(name)), bytes) === 0, `${what}: ${name} byte for byte`);
  }
}

// A sprite of the given frames ({width, height, xOffset, yOffset}) whose
// coded data is the end of the frame alone: a few bytes that ask for any
// canvas, every pixel transparent.
function spriteOf(frames) {
  const coded = [0x80, 0xee, 0xee, 0xee, 0xee];
  const table = 24 + 4 * frames.length;
  const frameBytes = 32 + coded.length;
  const bytes = Buffer.alloc(table + frames.length * frameBytes);
  bytes.writeInt32LE(6, 0);                 // version
  bytes.fill(0xee, 12, 16);                 // terminator
  bytes.writeInt32LE(frames.length, 20);
  frames.forEach((frame, i) => {
    const at = table + i * frameBytes;
    bytes.writeUInt32LE(at, 24 + 4 * i);
    bytes.writeInt32LE(frame.width, at + 4);
    bytes.writeInt32LE(frame.height, at + 8);
    bytes.writeInt32LE(frame.xOffset || 0, at + 12);
    bytes.writeInt32LE(frame.yOffset || 0, at + 16);
    bytes.writeUInt32LE(coded.length, at + 28);
    Buffer.from(coded).copy(bytes, at + 32);
  });
  return bytes;
}

module.exports = {
  webFolder, converter, packer, samples, sampleSprites, keep, temporaryFolder, serve, launch, PageDriver, pageHarness,
  run, folderWith, filesOf, assertSameFiles, spriteOf,
};
