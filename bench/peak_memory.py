#!/usr/bin/env python3
"""Peak memory of kelvane-convert and kelvane-pack on the largest images a few
bytes can ask for.

Each sprite file is 64 bytes or so: one frame header declaring a large frame
and an end-of-frame marker (for png-rgba, a first row that uses all 256
indices, so that no index is left for the transparent pixels). The converter
must hold the canvas; everything else (the file being written goes out in
pieces, and which pixels are transparent is known without a mask) must stay
small. Target: the peak resident size at most the canvas plus 64 MiB. Four
such sprites of 2 GiB canvases at -j 4: at most the peak of -j 1 plus 64 MiB.

kelvane-pack must hold what it makes, not what its files declare: a manifest
of twelve 65535 x 32767 frames without an image, and twelve 1 x 1 frames of
one 16384 x 16384 PNG. Target: the largest frame (pixels and opaque marks,
two bytes a pixel) plus 64 MiB.
"""
import json
import zlib
import os
import shutil
import struct
import sys
import tempfile

TERMINATOR = b"\xee\xee\xee\xee"
MIB = 1 << 20


def sprite(width, height, every_index=False, frames=1):
    # With every_index, the bottom row starts with all 256 indices: no index
    # is left for the transparent pixels, and PNG is written as RGBA. With
    # more frames, each is placed below the one before by its offsets: an
    # animation's canvas holds them all.
    coded = b"\x80" + TERMINATOR
    if every_index:
        coded = (b"\x7f" + bytes(range(127)) + b"\x7f" + bytes(range(127, 254)) + b"\x02" + bytes([254, 255]) +
                 coded)
    header = struct.pack("<i8s4sii", 6, bytes(8), TERMINATOR, 0, frames)
    table = b"".join(struct.pack("<I", 24 + 4 * frames + i * (32 + len(coded))) for i in range(frames))
    body = b"".join(struct.pack("<IiiiiIII", 0, width, height, 0, i * height, 0, 0, len(coded)) + coded
                    for i in range(frames))
    return header + table + body


def png(width, height, palette_entries=2):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    row = b"\x00" + bytes(width)
    stream = zlib.compressobj(9)
    data = b"".join(stream.compress(row) for _ in range(height)) + stream.flush()
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)) +
            chunk(b"PLTE", bytes(3 * palette_entries)) + chunk(b"IDAT", data) + chunk(b"IEND", b""))


def manifest(frames):
    entries = []
    for index, (filename, x, width, height) in enumerate(frames):
        entries.append({"filename": filename, "frame": {"x": x, "y": 0, "w": width, "h": height},
                        "duration": 100, "index": index, "width": width, "height": height,
                        "xOffset": 0, "yOffset": 0,
                        "header": {"bytes0to3": 0, "bytes20to23": 0, "bytes24to27": 0}, "transparentIndex": None})
    meta = {"app": "kelvane-convert", "version": "1.1.0", "image": None, "format": "I8", "size": {"w": 0, "h": 0},
            "sprite": "big.dc6", "layout": "stitched", "terminator": [238, 238, 238, 238],
            "header": {"bytes4to7": 0, "bytes8to11": 0, "bytes16to19": 0},
            "palette": "built-in", "transparentIndex": None, "transparency": True}
    return json.dumps({"frames": entries, "meta": meta})


def bench_packing(packer, work):
    print("kelvane-pack peak memory (ru_maxrss):")
    cases = (("12 frames of 65535 x 32767 without an image", [(None, 0, 65535, 32767)] * 12, 0),
             ("12 frames of 1 x 1 in a 16384 x 16384 PNG", [("big.png", i, 1, 1) for i in range(12)], 1))
    for label, frames, largest in cases:
        folder = os.path.join(work, "pack")
        os.makedirs(folder)
        if any(frame[0] for frame in frames):
            with open(os.path.join(folder, "big.png"), "wb") as out:
                out.write(png(16384, 16384))
        with open(os.path.join(folder, "big.json"), "w") as out:
            out.write(manifest(frames))
        peak = peak_kib([packer, "-C", folder, "--nearest", "-o", "out.dc6", "big.json"], statuses=(0, 1)) * 1024
        verdict = "within" if peak <= 2 * largest + 64 * MIB else "OVER"
        print(f"  {label}: peak {peak / MIB:6.1f} MiB ({verdict} the target of the largest frame + 64 MiB)")
        shutil.rmtree(folder)


def bench_parallel(converter, work):
    # Four sprites whose canvases take 2 GiB each: a parallel run lets one
    # such file in at a time, so its peak is one file at a time's.
    print("kelvane-convert peak memory (ru_maxrss) on four sprites of 65535 x 32767 (2 GiB canvases):")
    folder = os.path.join(work, "four-large")
    os.makedirs(folder)
    for i in range(4):
        with open(os.path.join(folder, f"big{i}.dc6"), "wb") as out:
            out.write(sprite(65535, 32767))
    peaks = {}
    for jobs in ("1", "4"):
        peaks[jobs] = peak_kib([converter, "-q", "-C", folder, "-j", jobs]) * 1024
        shutil.rmtree(os.path.join(folder, "PCXFiles"))
    verdict = "within" if peaks["4"] <= peaks["1"] + 64 * MIB else "OVER"
    print(f"  -j 1: peak {peaks['1'] / MIB:7.1f} MiB; -j 4: peak {peaks['4'] / MIB:7.1f} MiB "
          f"({verdict} the target of -j 1's peak + 64 MiB)")
    shutil.rmtree(folder)


def peak_kib(command, statuses=(0,)):
    # wait4 tells the peak of that one process, not the largest of all the
    # children waited for so far.
    child = os.fork()
    if child == 0:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.dup2(devnull, 2)
        os.execv(command[0], command)
    _, status, usage = os.wait4(child, 0)
    if os.waitstatus_to_exitcode(status) not in statuses:
        raise SystemExit(f"{command} ended with status {status}")
    return usage.ru_maxrss


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
    converter = os.path.join(build, "cli", "kelvane-convert")
    work = tempfile.mkdtemp(prefix="peak-bench-", dir=build)
    try:
        print("kelvane-convert peak memory (ru_maxrss) on one-frame sprites of 64 bytes:")
        for width, height, formats in ((65535, 8192, ("pcx", "png", "png-rgba")), (65535, 16384, ("pcx",))):
            for image_format in formats:
                folder = os.path.join(work, f"{width}x{height}-{image_format}")
                os.makedirs(folder)
                with open(os.path.join(folder, "big.dc6"), "wb") as out:
                    out.write(sprite(width, height, every_index=image_format == "png-rgba"))
                command = [converter, "-q", "-C", folder]
                if image_format != "pcx":
                    command += ["-f", "png"]
                peak = peak_kib(command) * 1024
                canvas = width * height
                verdict = "within" if peak <= canvas + 64 * MIB else "OVER"
                print(f"  {width} x {height} {image_format}: canvas {canvas / MIB:7.1f} MiB, "
                      f"peak {peak / MIB:7.1f} MiB, canvas + {(peak - canvas) / MIB:5.1f} MiB "
                      f"({verdict} the target of canvas + 64 MiB)")
                shutil.rmtree(folder)
        print("kelvane-convert peak memory with an animation: two frames of 65535 x 4096, one below the other, "
              "-f png (the frames' images) and --anim (their canvas):")
        for animation in ("apng", "gif"):
            folder = os.path.join(work, f"anim-{animation}")
            os.makedirs(folder)
            with open(os.path.join(folder, "big.dc6"), "wb") as out:
                out.write(sprite(65535, 4096, every_index=animation == "apng", frames=2))
            peak = peak_kib([converter, "-q", "-C", folder, "-f", "png", "--anim", animation]) * 1024
            canvas = 65535 * 8192
            verdict = "within" if peak <= canvas + 64 * MIB else "OVER"
            label = "apng, every index (RGBA)" if animation == "apng" else "gif"
            print(f"  {label}: canvas {canvas / MIB:7.1f} MiB, peak {peak / MIB:7.1f} MiB, canvas + "
                  f"{(peak - canvas) / MIB:5.1f} MiB ({verdict} the target of canvas + 64 MiB)")
            shutil.rmtree(folder)
        bench_parallel(converter, work)
        bench_packing(os.path.join(build, "cli", "kelvane-pack"), work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
