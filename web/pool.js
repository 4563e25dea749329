// Converting many sprites on every core: the sprites in the converter's
// order (the page's list, as the core orders it), cut into shares that
// workers of their own convert at once, each giving back a ZIP of its images
// (deflated in that worker), merged here into one. The images are the
// converter's own bytes, the notices come in the order one run gives them,
// and the count and exit status are one run's.
"use strict";

window.Kelvane = window.Kelvane || {};

(() => {
  // Sprites per share: small enough to keep every worker busy to the end and
  // the busy line moving, large enough that a share's fixed cost is small.
  const kSmallestShare = 8;
  const kSharesPerWorker = 6;
  const kSummary = /^Successfully converted (\d+) files$/;

  // The names (folder, and name without extension, letter case folded) an
  // image or manifest of a sprite of frames frames may take: NAME, and
  // NAME0, NAME1, ... for its frames apart, whatever its layout; each folder
  // has images of its own.
  function outputStems(name, frames) {
    const dot = name.lastIndexOf(".");
    const stem = (dot > 0 && dot > name.lastIndexOf("/") ? name.slice(0, dot) : name).toLowerCase();
    const stems = [stem];
    for (let i = 0; i < frames; ++i) stems.push(stem + i);
    return stems;
  }

  // Cuts the ordered names into shares of about size names. Sprites whose
  // outputs could take one name (x.dc6 writes x3.pcx, as x3.dc6 does) stay in
  // one share: the converter settles such clashes only within a run. So a
  // cut falls only where no sprite before it clashes with one after it.
  function shares(names, frameCounts, size) {
    const parent = names.map((_, i) => i);
    const root = (i) => (parent[i] === i ? i : (parent[i] = root(parent[i])));
    const owner = new Map();
    names.forEach((name, i) => {
      for (const stem of outputStems(name, frameCounts.get(name) || 0)) {
        if (owner.has(stem)) parent[root(i)] = root(owner.get(stem));
        else owner.set(stem, i);
      }
    });
    const last = new Map();
    names.forEach((_, i) => last.set(root(i), i));
    const cut = [];
    let start = 0, reach = 0;
    names.forEach((name, i) => {
      reach = Math.max(reach, last.get(root(i)));
      if (reach === i && i + 1 - start >= size) {
        cut.push(names.slice(start, i + 1));
        start = i + 1;
      }
    });
    if (start < names.length) cut.push(names.slice(start));
    return cut;
  }

  // One ZIP from several (as the worker writes them: no comment, no ZIP64): their
  // entries one after another, the central directory's offsets moved.
  function mergeZips(zips) {
    const locals = [], directories = [];
    let offset = 0, entries = 0, directorySize = 0;
    for (const zip of zips) {
      const view = new DataView(zip.buffer, zip.byteOffset, zip.byteLength);
      const end = zip.byteLength - 22;
      if (end < 0 || view.getUint32(end, true) !== 0x06054b50) throw new Error("a share's ZIP is damaged");
      const count = view.getUint16(end + 10, true);
      const size = view.getUint32(end + 12, true);
      const start = view.getUint32(end + 16, true);
      const directory = zip.slice(start, start + size);
      const inner = new DataView(directory.buffer);
      for (let at = 0, i = 0; i < count; ++i) {
        if (inner.getUint32(at, true) !== 0x02014b50) throw new Error("a share's ZIP is damaged");
        inner.setUint32(at + 42, inner.getUint32(at + 42, true) + offset, true);
        at += 46 + inner.getUint16(at + 28, true) + inner.getUint16(at + 30, true) + inner.getUint16(at + 32, true);
      }
      locals.push(zip.subarray(0, start));
      directories.push(directory);
      offset += start;
      entries += count;
      directorySize += size;
    }
    if (entries > 0xffff || offset + directorySize > 0xffffffff) throw new Error("too many images for one ZIP");
    const end = new Uint8Array(22);
    const view = new DataView(end.buffer);
    view.setUint32(0, 0x06054b50, true);
    view.setUint16(8, entries, true);
    view.setUint16(10, entries, true);
    view.setUint32(12, directorySize, true);
    view.setUint32(16, offset, true);
    return new Blob([...locals, ...directories, end], { type: "application/zip" });
  }

  class ConvertPool {
    constructor(size) {
      this.size = Math.max(1, size);
      this.workers = [];
    }

    // Workers start when first needed and stay for later runs.
    worker(i) {
      if (!this.workers[i]) this.workers[i] = new Kelvane.CoreClient(async () => []);
      return this.workers[i];
    }

    cancel() {
      for (const worker of this.workers) if (worker && worker.busy) worker.cancel();
    }

    // Converts sprites ([path, bytes, frame count], in the order the
    // converter takes them; with folders in their paths, as a run over their
    // tree) with options
    // and palette ({ name, bytes } or null) as one run of the converter
    // would; progress(done, total) hears of each share done. Gives
    // { status, lines, count, zip } with zip a Blob, or null when nothing
    // was written.
    async convert(sprites, options, palette, progress) {
      const bytes = new Map(sprites.map(([name, data]) => [name, data]));
      const frameCounts = new Map(sprites.map(([name, , frames]) => [name, frames]));
      const tree = [...bytes.keys()].some((name) => name.includes("/"));
      const names = [...bytes.keys()];
      const size = Math.max(kSmallestShare, Math.ceil(names.length / (this.size * kSharesPerWorker)));
      const work = shares(names, frameCounts, size);
      const answers = new Array(work.length);
      let next = 0, done = 0;
      const run = async (worker) => {
        while (next < work.length) {
          const index = next++;
          const files = work[index].map((name) => ({ name, bytes: bytes.get(name).slice(0) }));
          const transfer = files.map((file) => file.bytes);
          const paletteCopy = palette ? { name: palette.name, bytes: palette.bytes.slice(0) } : null;
          if (paletteCopy) transfer.push(paletteCopy.bytes);
          answers[index] = await worker.request("convertShare", { files, options, palette: paletteCopy, tree }, transfer);
          done += work[index].length;
          progress(done, names.length);
        }
      };
      const used = Math.min(this.size, work.length);
      await Promise.all(Array.from({ length: used }, (_, i) => run(this.worker(i))));

      const lines = [];
      let count = 0, status = 0;
      for (const answer of answers) {
        for (const line of answer.lines) {
          const summary = line.stream === "out" && kSummary.exec(line.text);
          if (summary) count += Number(summary[1]);
          else lines.push(line);
        }
        status = Math.max(status, answer.status);
      }
      lines.push({ stream: "out", text: `Successfully converted ${count} files` });
      const zips = answers.map((answer) => answer.zip).filter(Boolean);
      return { status, lines, count, zip: zips.length > 0 ? mergeZips(zips) : null };
    }
  }

  Kelvane.ConvertPool = ConvertPool;
  Kelvane.mergeZips = mergeZips;
})();
