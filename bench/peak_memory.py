#!/usr/bin/env python3
"""Peak memory of kelvane-convert on the largest images a few bytes can ask for.

Each sprite file is 64 bytes or so: one frame header declaring a large frame
and an end-of-frame marker (for png-rgba, a first row that uses all 256
indices, so that no index is left for the transparent pixels). The converter
must hold the canvas; everything else (the file being written goes out in
pieces, and which pixels are transparent is known without a mask) must stay
small. Target: the peak resident size at most the canvas plus 64 MiB.
"""
import os
import shutil
import struct
import sys
import tempfile

TERMINATOR = b"\xee\xee\xee\xee"
MIB = 1 << 20


def sprite(width, height, every_index=False):
    # With every_index, the bottom row starts with all 256 indices: no index
    # is left for the transparent pixels, and PNG is written as RGBA.
    coded = b"\x80" + TERMINATOR
    if every_index:
        coded = (b"\x7f" + bytes(range(127)) + b"\x7f" + bytes(range(127, 254)) + b"\x02" + bytes([254, 255]) +
                 coded)
    header = struct.pack("<i8s4si", 6, bytes(8), TERMINATOR, 0) + struct.pack("<iI", 1, 28)
    frame = struct.pack("<IiiiiIII", 0, width, height, 0, 0, 0, 0, len(coded)) + coded
    return header + frame


def peak_kib(command):
    # wait4 tells the peak of that one process, not the largest of all the
    # children waited for so far.
    child = os.fork()
    if child == 0:
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, 1)
        os.dup2(devnull, 2)  # the RGBA remark
        os.execv(command[0], command)
    _, status, usage = os.wait4(child, 0)
    if os.waitstatus_to_exitcode(status) != 0:
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
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
