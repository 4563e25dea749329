"""kelvane-convert's animations as the programs people use read them: Pillow
and ImageMagick (which reads animated PNG through ffmpeg), frame by frame:
how many, where each lies, how long each is shown, the palette and the
transparent pixels, exactly."""
import os
import subprocess
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dc6_sprites import FILL, sprite  # noqa: E402
from tally import check, summary  # noqa: E402

CONVERT = os.path.abspath(sys.argv[1])
T = None


def run(*command, cwd=None):
    done = subprocess.run(command, cwd=cwd, capture_output=True)
    check(f"{command[:3]} ran", done.returncode == 0, done.stderr.decode(errors="replace"))
    return done.stdout


# walk: three frames at offsets, some pixels left transparent; the canvas
# runs from (-2, -1) to (5, 5). busy: two frames that together use every
# index (so the animated PNG is RGBA, and each GIF frame marks its own free
# index), with transparent pixels in both, and a third. (ImageMagick reads
# animated PNG through ffmpeg, which takes two frames for a video of a
# hundred thousand frames a second.)
WALK = [([[1, 2, 3], [4, T, 6]], -2, -1), ([[7, 8], [9, 10], [11, 12]], 3, 2), ([[13, T, 14, 15]], 0, 0)]
LOW = [list(range(r * 16, r * 16 + 16)) for r in range(8)] + [[T] * 16]
HIGH = [[T] + list(range(128 + r * 16, 128 + r * 16 + 15)) for r in range(8)] + [[255, 143, 159, 175, 191, 207, 223, 239]]
BUSY = [(LOW, 0, 0), (HIGH, 4, 2), ([[T, 200], [201, T]], -1, 9)]


# noise: frames large and varied enough that the GIF coder's codes grow to
# 12 bits and its table starts afresh several times.
def noise(width, height, seed):
    value = seed
    rows = []
    for _ in range(height):
        row = []
        for _ in range(width):
            value = (value * 1103515245 + 12345) & 0x7FFFFFFF
            row.append(None if value % 23 == 0 else (value >> 16) % 200)
        rows.append(row)
    return rows


NOISE = [(noise(300, 80, 1), 0, 0), (noise(120, 150, 2), 50, -20), (noise(7, 3, 3), 0, 5)]

# full: a frame between others uses every index and has no transparent
# pixel, so that no index is left for it to name: its rectangle is restored
# to what was there before it, and the canvas around every frame stays
# transparent. first: the first frame uses every index (of a palette without
# two entries of one colour), which GIF cannot show on a transparent canvas.
ALL = [list(range(r * 16, r * 16 + 16)) for r in range(16)]
FULL = [([[1, 2, T], [3, T, 4]], 0, 0), (ALL, 10, 6), ([[T, 5], [6, T]], -3, 20)]
FIRST = [(ALL, 0, 0), ([[1, T]], 20, 3)]


def canvas_of(frames):
    left = min(x for _, x, _ in frames)
    top = min(y for _, _, y in frames)
    right = max(x + len(rows[0]) for rows, x, _ in frames)
    bottom = max(y + len(rows) for rows, _, y in frames)
    return left, top, right - left, bottom - top


def expected_rgba(frames, k, palette):
    """Frame k alone on the transparent canvas, as RGBA bytes (transparent pixels all zero)."""
    left, top, width, height = canvas_of(frames)
    out = bytearray(4 * width * height)
    rows, x, y = frames[k]
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if value is not None:
                at = 4 * ((y - top + r) * width + (x - left + c))
                out[at:at + 4] = bytes(palette[3 * value:3 * value + 3]) + b"\xff"
    return bytes(out)


def clear_colour(rgba):
    """Transparent pixels keep no colour that matters: all zero."""
    out = bytearray(rgba)
    for i in range(0, len(out), 4):
        if out[i + 3] == 0:
            out[i:i + 4] = b"\0\0\0\0"
    return bytes(out)


def rects(frames):
    left, top, width, height = canvas_of(frames)
    return [(x - left, y - top, x - left + len(rows[0]), y - top + len(rows)) for rows, x, y in frames]


def check_pillow(path, frames, duration, palette, indexed_transparency):
    image = Image.open(path)
    name = os.path.basename(path)
    check(f"{name}: frames", image.n_frames == len(frames), image.n_frames)
    check(f"{name}: loops forever", image.info.get("loop") == 0, image.info)
    check(f"{name}: size", image.size == canvas_of(frames)[2:], image.size)
    if image.mode == "P":
        check(f"{name}: palette", image.getpalette()[:768] == palette)
    boxes = rects(frames)
    for k in range(len(frames)):
        image.seek(k)
        # The first frame of an animated PNG is its still image, as large as the canvas.
        box = (0, 0) + image.size if k == 0 and path.endswith(".apng") else boxes[k]
        check(f"{name} frame {k}: place", image.dispose_extent == box, (image.dispose_extent, box))
        check(f"{name} frame {k}: duration", abs(image.info.get("duration", -1) - duration) < 1e-6,
              image.info.get("duration"))
        # Frame k's own pixels, in its own rectangle.
        rgba = image.convert("RGBA")
        rows, _, _ = frames[k]
        x0, y0 = boxes[k][:2]
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                seen = rgba.getpixel((x0 + c, y0 + r))
                want = (0,) if value is None else tuple(palette[3 * value:3 * value + 3]) + (255,)
                got = seen[3:] if value is None else seen
                if got != want:
                    check(f"{name} frame {k}: pixel {c},{r}", False, (seen, value))
        if indexed_transparency is not None and image.mode == "P":
            check(f"{name} frame {k}: transparent index", image.info.get("transparency") == indexed_transparency[k],
                  image.info.get("transparency"))


def check_pillow_canvas(path, frames, palette):
    """Each frame alone on the canvas, transparent around it, as Pillow composes the GIF."""
    image = Image.open(path)
    name = os.path.basename(path)
    for k in range(len(frames)):
        image.seek(k)
        rgba = clear_colour(image.convert("RGBA").tobytes())
        check(f"{name} frame {k}: the whole canvas", rgba == expected_rgba(frames, k, palette))


def check_magick(path, frames, palette, delay, disposals=None):
    name = os.path.basename(path)
    left, top, width, height = canvas_of(frames)
    # Every frame on the canvas: where it lies, which pixels show, in which
    # colours. An animated PNG comes from ffmpeg with each frame already on
    # the canvas; a GIF's frames are put there by ImageMagick.
    animated_png = path.endswith(".apng")
    coalesce = [] if animated_png else ["-coalesce"]
    coalesced = run("convert", ("APNG:" if animated_png else "") + path, *coalesce, "-depth", "8", "rgba:-")
    size = 4 * width * height
    check(f"ImageMagick {name}: frames", len(coalesced) == size * len(frames), len(coalesced) / max(size, 1))
    for k in range(min(len(frames), len(coalesced) // size)):
        check(f"ImageMagick {name} frame {k}: pixels",
              clear_colour(coalesced[k * size:(k + 1) * size]) == expected_rgba(frames, k, palette))
    if path.endswith(".gif"):
        geometry = run("identify", "-format", "%w %h %X %Y %T %D\n", path).decode().splitlines()
        disposals = disposals or ["Background"] * len(frames)
        want = [f"{x1 - x0} {y1 - y0} +{x0} +{y0} {delay} {disposal}"
                for (x0, y0, x1, y1), disposal in zip(rects(frames), disposals)]
        check(f"ImageMagick {name}: geometry, delays, disposal", geometry == want, (geometry, want))


def main():
    with tempfile.TemporaryDirectory(prefix="animation-interop-") as work:
        with open(f"{work}/walk.dc6", "wb") as out:
            out.write(sprite(*WALK))
        with open(f"{work}/busy.dc6", "wb") as out:
            out.write(sprite(*BUSY))
        with open(f"{work}/noise.dc6", "wb") as out:
            out.write(sprite(*NOISE))
        with open(f"{work}/still.dc6", "wb") as out:
            out.write(sprite(([[1, 2]], 4, 4)))  # one frame: no animation
        with open(f"{work}/tiles.dc6", "wb") as out:
            out.write(sprite(([[1, 2]], 0, 0), ([[3]], 0, 0)))  # stitched: no animation
        with open(f"{work}/full.dc6", "wb") as out:
            out.write(sprite(*FULL))
        os.mkdir(f"{work}/first")
        with open(f"{work}/first/first.dc6", "wb") as out:
            out.write(sprite(*FIRST))
        refused = subprocess.run([CONVERT, "-q", "--anim", "gif", "-C", "first"], cwd=work, capture_output=True)
        check("a first frame of every colour: no GIF, and a notice why", refused.returncode == 1 and
              b"leaves GIF no index" in refused.stderr and not os.path.exists(f"{work}/first/PCXFiles/first.gif"),
              refused)
        run(CONVERT, "-q", "-o", "pcx", "walk.dc6", cwd=work)
        with open(f"{work}/pcx/walk0.pcx", "rb") as pcx:
            palette = list(pcx.read()[-768:])
        run(CONVERT, "-q", "--anim", "apng", "--fps", "25", "-o", "out", cwd=work)
        run(CONVERT, "-q", "--anim", "gif", "--fps", "3", "-o", "out", cwd=work)
        made = sorted(name for name in os.listdir(f"{work}/out") if name.endswith((".apng", ".gif")))
        check("an animation for each sprite of two frames or more with offsets", made ==
              ["busy.apng", "busy.gif", "full.apng", "full.gif", "noise.apng", "noise.gif", "walk.apng", "walk.gif"],
              made)

        # The fill byte is free in walk: it marks the transparent pixels. In
        # busy every index is used: each GIF frame marks its own free one.
        check_pillow(f"{work}/out/walk.apng", WALK, 40.0, palette, [FILL] * 3)
        check_pillow(f"{work}/out/walk.gif", WALK, 330, palette, [FILL] * 3)
        check_pillow(f"{work}/out/busy.apng", BUSY, 40.0, palette, None)
        check_pillow(f"{work}/out/busy.gif", BUSY, 330, palette, [FILL, 0, FILL])
        check_pillow(f"{work}/out/full.gif", FULL, 330, palette, None)
        check("busy.apng is RGBA", Image.open(f"{work}/out/busy.apng").mode == "RGBA")
        check_pillow(f"{work}/out/noise.gif", NOISE, 330, palette, [FILL] * 3)
        check_pillow_canvas(f"{work}/out/busy.gif", BUSY, palette)
        check_pillow_canvas(f"{work}/out/full.gif", FULL, palette)
        for name, frames, delay in (("walk", WALK, 33), ("busy", BUSY, 33), ("noise", NOISE, 33),
                                    ("full", FULL, 33)):
            check_magick(f"{work}/out/{name}.gif", frames, palette, delay,
                         ["Background", "Previous", "Background"] if name == "full" else None)
            check_magick(f"{work}/out/{name}.apng", frames, palette, delay)

    return summary()


if __name__ == "__main__":
    sys.exit(main())
