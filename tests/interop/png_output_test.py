"""kelvane-convert's PNG files, manifests and palette files as the programs
people use read them: Pillow (palette byte for byte, indices, transparency),
ImageMagick, pngcheck; and the palette files of the common editors going in
and out."""
import json
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dc6_sprites import FILL, sprite  # noqa: E402
from tally import check, summary  # noqa: E402

CONVERT = os.path.abspath(sys.argv[1])
T = None  # a transparent pixel in the rows below


def convert(folder, *arguments, status=0):
    done = subprocess.run([CONVERT, "-q", *arguments], cwd=folder, capture_output=True, text=True)
    check(f"status of {arguments}", done.returncode == status, f"{done.returncode}: {done.stderr}")
    return done


def write(path, data):
    with open(path, "wb") as file:
        file.write(data)


def pcx_palette(path):
    with open(path, "rb") as file:
        return list(file.read()[-768:])


def main():
    with tempfile.TemporaryDirectory(prefix="png-interop-") as work:
        # Transparency: fill byte free, fill byte used by a literal, all 256 used.
        free = [[1, 2, T, 3, T, T], [T, 4, 5, 6, 7, 8], [9, T, T, T, T, T], [T] * 6, [10, 11, 12, 13, 14, 15]]
        taken = [[0, FILL, T, 2], [T, 3, 4, 5]]
        everything = [[(16 * y + x) % 256 for x in range(16)] for y in range(16)] + [[T] * 16]
        write(f"{work}/free.dc6", sprite((free, 0, 0)))
        write(f"{work}/taken.dc6", sprite((taken, 0, 0)))
        write(f"{work}/all.dc6", sprite((everything, 0, 0)))
        write(f"{work}/full.dc6", sprite((everything[:16], 0, 0)))  # every index, nothing transparent
        # A stitched sprite with a gap above its second frame, and a separate
        # one with negative offsets.
        tile = [[(x + y) % 200 for x in range(256)] for y in range(4)]
        write(f"{work}/tiles.dc6", sprite((tile, 0, 0), ([[7, 7, 7, 7], [8, 8, 8, 8]], 0, 0)))
        write(f"{work}/walk.dc6", sprite(([[1, 2, 3]], -3, -7), ([[4], [5]], 2, 0)))

        done = convert(work, "-f", "png", "--json")
        convert(work)  # the PCX files of the same run, for the palette
        check("RGBA said", "all.png is written as RGBA" in done.stderr, done.stderr)
        out = f"{work}/PCXFiles"
        palette = pcx_palette(f"{out}/free.pcx")

        image = Image.open(f"{out}/free.png")
        check("free: mode", image.mode == "P", image.mode)
        check("free: palette byte for byte", image.getpalette()[:768] == palette)
        check("free: T is the fill byte", image.info.get("transparency") == FILL, image.info.get("transparency"))
        expected = [FILL if v is None else v for row in free for v in row]
        check("free: indices", list(image.getdata()) == expected)

        image = Image.open(f"{out}/taken.png")
        check("taken: T is the lowest unused index", image.info.get("transparency") == 1, image.info)
        check("taken: indices", list(image.getdata()) == [0, FILL, 1, 2, 1, 3, 4, 5])

        image = Image.open(f"{out}/all.png")
        check("all: RGBA", image.mode == "RGBA", image.mode)
        check("all: colour of index 37", image.getpixel((5, 2)) == tuple(palette[111:114]) + (255,))
        check("all: transparent row", image.getpixel((3, 16))[3] == 0)

        image = Image.open(f"{out}/full.png")
        check("full: indexed without tRNS", image.mode == "P" and "transparency" not in image.info, image.info)
        check("full: indices", list(image.getdata()) == [v for row in everything[:16] for v in row])

        image = Image.open(f"{out}/tiles.png").convert("RGBA")
        check("tiles: size", image.size == (260, 4), image.size)
        check("tiles: gap above the second frame", image.getpixel((258, 0))[3] == 0 and image.getpixel((258, 3))[3] == 255)

        manifest = json.load(open(f"{out}/walk.json"))
        frames = manifest["frames"]
        check("walk: offsets", [(f["xOffset"], f["yOffset"]) for f in frames] == [(-3, -7), (2, 0)], frames)
        check("walk: files", [f["filename"] for f in frames] == ["walk0.png", "walk1.png"])
        check("walk: layout", manifest["meta"]["layout"] == "separate")
        tiles = json.load(open(f"{out}/tiles.json"))["frames"]
        check("tiles: rectangles", [f["frame"] for f in tiles] == [{"x": 0, "y": 0, "w": 256, "h": 4},
                                                                   {"x": 256, "y": 2, "w": 4, "h": 2}], tiles)

        for name in ("free.png", "taken.png", "all.png", "tiles.png"):
            verbose = subprocess.run(["pngcheck", "-v", f"{out}/{name}"], capture_output=True, text=True).stdout
            chunks = {line.split()[1] for line in verbose.splitlines() if line.strip().startswith("chunk ")}
            check(f"pngcheck {name}", "No errors detected" in verbose and chunks <= {"IHDR", "PLTE", "tRNS", "IDAT", "IEND"},
                  verbose)
            size = subprocess.run(["identify", "-format", "%w %h", f"{out}/{name}"], capture_output=True, text=True)
            check(f"ImageMagick {name}", size.returncode == 0 and size.stdout == "%d %d" % Image.open(f"{out}/{name}").size,
                  size.stdout + size.stderr)

        # Palettes of the editors in: each gives the same PNG palette.
        colours = [(i, (i * 7) % 256, 255 - i) for i in range(256)]
        flat = [c for rgb in colours for c in rgb]
        files = {
            "raw.pal": bytes(c for r, g, b in colours for c in (b, g, r)),
            "game.gpl": ("GIMP Palette\nName: test\nColumns: 16\n#\n" +
                         "".join(f"{r:3} {g:3} {b:3}\tc{i}\n" for i, (r, g, b) in enumerate(colours))).encode(),
            "jasc.pal": ("JASC-PAL\r\n0100\r\n256\r\n" + "".join(f"{r} {g} {b}\r\n" for r, g, b in colours)).encode(),
            "riff.pal": b"RIFF" + struct.pack("<I", 4 + 8 + 4 + 1024) + b"PAL data" + struct.pack("<IHH", 4 + 1024, 0x300, 256) +
                        bytes(c for r, g, b in colours for c in (r, g, b, 0)),
            "photo.act": bytes(flat),
            "counted.act": bytes(flat) + struct.pack(">HH", 256, 0xFFFF),
        }
        for name, data in files.items():
            write(f"{work}/{name}", data)
            convert(work, "-p", name, "-f", "png", "--json", "-o", f"out-{name}", "free.dc6")
            check(f"palette {name}", Image.open(f"{work}/out-{name}/free.png").getpalette()[:768] == flat)
            check(f"manifest names {name}", json.load(open(f"{work}/out-{name}/free.json"))["meta"]["palette"] == name)
        write(f"{work}/short.gpl", b"GIMP Palette\n1 2 3\n4 5 6\n")
        done = convert(work, "-p", "short.gpl", "-f", "png", "-o", "out-short", "free.dc6")
        check("short palette said", "holds 2 colours" in done.stderr, done.stderr)
        check("short palette padded", Image.open(f"{work}/out-short/free.png").getpalette()[:9] == [1, 2, 3, 4, 5, 6, 0, 0, 0])
        write(f"{work}/wrong.gpl", b"GIMP Palette\n" + b"1 2 3\n" * 257)
        write(f"{work}/wrong.pal", b"JASC-PAL\r\n0100\r\n256\r\n1 2 300\r\n")
        for name in ("wrong.gpl", "wrong.pal"):
            done = convert(work, "-p", name, "-o", f"out-{name}", status=2)
            check(f"{name} refused with a reason", done.stderr.startswith(f"kelvane-convert: {name}: "), done.stderr)
            check(f"{name}: nothing written", not os.path.exists(f"{work}/out-{name}"))

        # Palettes out: each format read back gives the run's palette.
        for name in ("back.gpl", "back.pal", "back.act"):
            convert(work, "-p", "game.gpl", "--export-palette", name, "-o", "out-export", "free.dc6")
            convert(work, "-p", name, "-f", "png", "-o", f"out-{name}", "free.dc6")
            check(f"export {name}", Image.open(f"{work}/out-{name}/free.png").getpalette()[:768] == flat)

    return summary()


if __name__ == "__main__":
    sys.exit(main())
