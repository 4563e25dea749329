// The ZIP the page saves a run's images in, made here so that a run over
// many sprites hands the page one file; the core's zlib deflates and sums.
"use strict";
/* global core */
/* exported zipOf */

// The files as one ZIP (no comment, no ZIP64), or null when there are none.
// PNG files are deflated already and are stored; PCX files and manifests are
// deflated by the core's zlib at its fastest level, which takes most of what
// deflating can from them in a fraction of the time.
function zipOf(files) {
  if (files.length === 0) return null;
  const encoder = new TextEncoder();
  const now = new Date();
  const time = (now.getHours() << 11) | (now.getMinutes() << 5) | (now.getSeconds() >> 1);
  const date = ((Math.max(1980, now.getFullYear()) - 1980) << 9) | ((now.getMonth() + 1) << 5) | now.getDate();
  const parts = [], directory = [];
  let offset = 0;
  for (const file of files) {
    const name = encoder.encode(file.name);
    const stored = /\.png$/i.test(file.name);
    const { crc, data } = zipData(file.bytes, stored);
    // Local header and central record share these fields, from version needed on.
    const common = new DataView(new ArrayBuffer(26));
    common.setUint16(0, 20, true);                                   // version needed: 2.0
    common.setUint16(2, /[\u0080-\uffff]/.test(file.name) ? 0x800 : 0, true);  // names in UTF-8
    common.setUint16(4, stored ? 0 : 8, true);                       // stored or deflated
    common.setUint16(6, time, true);
    common.setUint16(8, date, true);
    common.setUint32(10, crc, true);
    common.setUint32(14, data.length, true);
    common.setUint32(18, file.bytes.length, true);
    common.setUint16(22, name.length, true);
    common.setUint16(24, 0, true);                                   // no extra field
    const local = new Uint8Array(30 + name.length);
    new DataView(local.buffer).setUint32(0, 0x04034b50, true);
    local.set(new Uint8Array(common.buffer), 4);
    local.set(name, 30);
    const central = new Uint8Array(46 + name.length);
    const view = new DataView(central.buffer);
    view.setUint32(0, 0x02014b50, true);
    view.setUint16(4, 20, true);                                     // made by: 2.0
    central.set(new Uint8Array(common.buffer), 6);
    view.setUint32(42, offset, true);                                // comment, disk, attributes: 0
    central.set(name, 46);
    parts.push(local, data);
    directory.push(central);
    offset += local.length + data.length;
  }
  const size = directory.reduce((sum, record) => sum + record.length, 0);
  if (files.length > 0xffff || offset + size > 0xffffffff) throw new Error("too many or too large images for one ZIP");
  const end = new Uint8Array(22);
  const view = new DataView(end.buffer);
  view.setUint32(0, 0x06054b50, true);
  view.setUint16(8, files.length, true);
  view.setUint16(10, files.length, true);
  view.setUint32(12, size, true);
  view.setUint32(16, offset, true);
  const zip = new Uint8Array(offset + size + end.length);
  let at = 0;
  for (const part of [...parts, ...directory, end]) {
    zip.set(part, at);
    at += part.length;
  }
  return zip;
}

// A file's CRC-32 and its bytes as its ZIP entry holds them: as they are,
// or deflated at level 1.
function zipData(bytes, stored) {
  const pointer = core._malloc(Math.max(1, bytes.length));
  if (!pointer) throw new RangeError("not enough memory");
  try {
    core.HEAPU8.set(bytes, pointer);
    if (stored) return { crc: core._KelvaneCrc32(pointer, bytes.length) >>> 0, data: bytes };
    const block = core._KelvaneDeflate(pointer, bytes.length, 1);
    if (!block) throw new RangeError("not enough memory");
    const crc = core.HEAPU32[block >> 2] >>> 0, size = core.HEAPU32[(block >> 2) + 1];
    const data = core.HEAPU8.slice(block + 8, block + 8 + size);
    core._KelvaneRelease(block);
    return { crc, data };
  } finally {
    core._free(pointer);
  }
}
