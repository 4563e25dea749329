"""The Python package on the core: round trips, Pillow against the tools, hostile sprites.

Arguments: kelvane-convert, kelvane-pack, the samples folder, the fuzz
regressions folder, the test kit's random sprite maker, the fuzz seed maker.
"""
import glob
import os
import resource
import struct
import subprocess
import sys
import tempfile
import unittest
import warnings

import kelvane
import kelvane.pillow
from PIL import Image

CONVERT, PACK, SAMPLES, REGRESSIONS, RANDOM_SPRITES, MAKE_SEEDS = (os.path.abspath(a) for a in sys.argv[1:7])
SPRITES = sorted(glob.glob(os.path.join(SAMPLES, "*.dc6")))
# What a hostile sprite may cost a process reading it: the address space of
# the child that replays them.
HOSTILE_ADDRESS_SPACE = 1 << 30


def same(a, b):
    keys = ("width", "height", "x_offset", "y_offset", "header0to3", "header20to23", "header24to27", "indices",
            "opaque")
    return all(getattr(a, k) == getattr(b, k) for k in keys)


class RoundTrip(unittest.TestCase):
    def test_samples_read_write_read_keep_everything(self):
        self.assertTrue(SPRITES)
        for path in SPRITES:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", kelvane.Notice)
                first = kelvane.read(path)
            if not all(f.decoded for f in first.frames) or "damaged" in path:
                continue
            first.palette = None
            again = kelvane.read(kelvane.write(first))
            self.assertEqual(len(first.frames), len(again.frames), path)
            self.assertEqual((first.terminator, first.header4to7, first.header8to11, first.header16to19),
                             (again.terminator, again.header4to7, again.header8to11, again.header16to19), path)
            for a, b in zip(first.frames, again.frames):
                self.assertTrue(same(a, b), path)

    def test_random_sprites_read_as_built_and_write_back_unchanged(self):
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([RANDOM_SPRITES, folder, "40", "27"], check=True)
            for n in range(40):
                path = os.path.join(folder, "random-%d.dc6" % n)
                with open(os.path.join(folder, "random-%d.txt" % n)) as text:
                    terminator = bytes(int(v) for v in text.readline().split())
                    built = [[int(v) for v in line.split()] for line in text]
                first = kelvane.read(path)
                self.assertEqual(first.terminator, terminator, path)
                self.assertEqual(len(first.frames), len(built), path)
                for i, (frame, (width, height, x, y, *pixels)) in enumerate(zip(first.frames, built)):
                    where = "%s frame %d" % (path, i)
                    self.assertEqual((frame.width, frame.height, frame.x_offset, frame.y_offset),
                                     (width, height, x, y), where)
                    self.assertEqual(frame.opaque, bytes(0 if p < 0 else 1 for p in pixels), where)
                    self.assertEqual(frame.indices, bytes(terminator[3] if p < 0 else p for p in pixels), where)
                again = kelvane.read(kelvane.write(first))
                self.assertEqual(again.terminator, first.terminator, path)
                for a, b in zip(first.frames, again.frames):
                    self.assertTrue(same(a, b), path)

    def test_write_counts_the_pixels_kelvane_pack_counts(self):
        # A palette holding one colour twice, and a colour it lacks taken nearest.
        pal = bytearray(kelvane.builtin_palette())
        pal[27:30] = pal[15:18]
        known = {bytes(pal[i:i + 3]) for i in range(0, 768, 3)}
        missing = next(c.to_bytes(3, "big") for c in range(1 << 24) if c.to_bytes(3, "big") not in known)
        pixels = bytes(pal[15:18]) + b"\xff" + missing + b"\xff" + bytes(pal[0:3]) + b"\xff"
        with tempfile.TemporaryDirectory() as out:
            png, palette_file = os.path.join(out, "frame.png"), os.path.join(out, "shared.pal")
            Image.frombytes("RGBA", (3, 1), pixels).save(png)
            with open(palette_file, "wb") as f:  # 768 bytes, blue, green, red
                f.write(bytes(pal[i + 2 - c] for i in range(0, 768, 3) for c in range(3)))
            packed = subprocess.run([PACK, "--nearest", "-p", palette_file, "-o", os.path.join(out, "p.dc6"), png],
                                    capture_output=True, text=True)
        theirs = [line.split(png + ": ", 1)[1] for line in packed.stderr.splitlines() if png + ": " in line]
        frame = kelvane.Frame(3, 1, b"", b"")
        frame.rgba = pixels
        sprite = kelvane.Sprite([frame])
        sprite.palette, sprite.nearest = bytes(pal), True
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            kelvane.write(sprite)
        mine = [str(w.message) for w in seen if issubclass(w.category, kelvane.Notice)]
        # Each front end names its own way of giving the original sprite.
        self.assertEqual(len(theirs), 2, packed.stderr)
        self.assertEqual([t.split(";")[0] for t in mine], [t.split(";")[0] for t in theirs])

    def test_colour_not_in_palette_is_refused_with_the_packers_reason(self):
        frame = kelvane.Frame(2, 1, b"", b"")
        pal = kelvane.builtin_palette()
        missing = next(c for c in range(1 << 24) if c.to_bytes(3, "big") not in
                       {pal[i:i + 3] for i in range(0, 768, 3)})
        frame.rgba = bytes(pal[3:6]) + b"\xff" + missing.to_bytes(3, "big") + b"\xff"
        sprite = kelvane.Sprite([frame])
        # The way out named is this package's own, and it works.
        with self.assertRaisesRegex(kelvane.Error, "not in the sprite's palette; paint with the palette's "
                                    "colours, or set the sprite's nearest to True to take"):
            kelvane.write(sprite)
        sprite.nearest = True
        with warnings.catch_warnings(record=True):
            warnings.simplefilter("always")
            self.assertEqual(kelvane.read(kelvane.write(sprite)).frames[0].indices[0], 1)


class PillowAgainstConverter(unittest.TestCase):
    def test_pillow_saving_an_opened_sprite_keeps_every_frame(self):
        for path in SPRITES:
            if "damaged" in path:
                continue
            with tempfile.TemporaryDirectory() as out:
                im = Image.open(path)
                im.save(os.path.join(out, "again.dc6"), save_all=True)
                for a, b in zip(kelvane.read(path).frames, kelvane.read(os.path.join(out, "again.dc6")).frames):
                    self.assertTrue(same(a, b), path)

    def test_saving_frames_gives_kelvane_packs_bytes(self):
        # The three ways a frame reaches the packer: indices of the sprite's
        # palette (with a transparent index), RGBA, and indices of a small
        # palette of the image's own (mapped by colour); one frame moved.
        pal = kelvane.builtin_palette()
        first = Image.frombytes("P", (6, 5), bytes((7 * x + 13 * y + 40) % 256 for y in range(5) for x in range(6)))
        first.putpalette(pal)
        first.info["transparency"] = 40 + 13
        rgba = Image.new("RGBA", (5, 3))
        rgba.putdata([(0, 0, 0, 0) if (x + y) % 3 == 0 else tuple(pal[3 * (x * 9 + y):3 * (x * 9 + y) + 3]) + (255,)
                      for y in range(3) for x in range(5)])
        rgba.info["offset"] = (3, -2)
        small = Image.frombytes("P", (4, 4), bytes((x + y) % 3 for y in range(4) for x in range(4)))
        small.putpalette(pal[3 * 200:3 * 201] + pal[3 * 17:3 * 18] + pal[3 * 90:3 * 91])
        with tempfile.TemporaryDirectory() as out:
            images = []
            for n, im in enumerate((first, rgba, small)):
                images.append(os.path.join(out, "%d.png" % n))
                im.save(images[-1], **({"transparency": im.info["transparency"]} if n == 0 else {}))
            subprocess.run([PACK, "--offset", "1:3,-2", "-o", os.path.join(out, "packed.dc6")] + images, check=True,
                           capture_output=True)
            first.save(os.path.join(out, "saved.dc6"), save_all=True, append_images=[rgba, small])
            with open(os.path.join(out, "packed.dc6"), "rb") as a, open(os.path.join(out, "saved.dc6"), "rb") as b:
                self.assertEqual(a.read(), b.read())

    def test_every_frame_equals_the_converters_png(self):
        with tempfile.TemporaryDirectory() as out:
            names = [os.path.basename(p) for p in SPRITES if "damaged" not in p]
            subprocess.run([CONVERT, "-f", "png", "-o", out] + names, cwd=SAMPLES, check=True,
                           stdout=subprocess.DEVNULL)
            for name in names:
                stem = name[:-4]
                sprite = kelvane.read(os.path.join(SAMPLES, name))
                im = Image.open(os.path.join(SAMPLES, name))
                self.assertEqual(im.n_frames, len(sprite.frames))
                single = os.path.join(out, stem + ".png")
                for n in range(im.n_frames):
                    im.seek(n)
                    mine = im.convert("RGB")
                    if os.path.exists(single):
                        theirs = Image.open(single).convert("RGB")
                        x, y = sprite.frames[n].place
                        theirs = theirs.crop((x, y, x + im.width, y + im.height))
                    else:
                        theirs = Image.open(os.path.join(out, "%s%d.png" % (stem, n))).convert("RGB")
                    self.assertEqual(mine.tobytes(), theirs.tobytes(), "%s frame %d" % (name, n))


def header(width, height, length=0):
    body = struct.pack("<iII4sIi", 6, 0, 0, b"\xee\xee\xee\xee", 0, 1) + struct.pack("<I", 28)
    return body + struct.pack("<IiiiiIII", 0, width, height, 0, 0, 0, 0, length)


def replay(paths):
    """In a child process of bounded address space: every sprite through
    kelvane.read and Image.open with every frame loaded. Returns the lines
    of the sprites that did neither open nor refuse cleanly."""
    resource.setrlimit(resource.RLIMIT_AS, (HOSTILE_ADDRESS_SPACE, HOSTILE_ADDRESS_SPACE))
    faults = []
    warnings.simplefilter("ignore", kelvane.Notice)
    for path in paths:
        try:
            sprite = kelvane.read(path)
            for f in sprite.frames:
                if f.decoded and (len(f.indices), len(f.opaque)) != (f.width * f.height,) * 2:
                    faults.append("%s: frame of %d x %d has %d indices" % (path, f.width, f.height, len(f.indices)))
        except kelvane.Error as error:
            if not str(error):
                faults.append("%s: refused without a reason" % path)
        except Exception as error:
            faults.append("%s: kelvane.read raised %r" % (path, error))
        try:
            with Image.open(path) as im:
                for n in range(im.n_frames):
                    im.seek(n)
                    im.load()
        except SyntaxError:  # Pillow's "not this format", kelvane.Error's reason inside
            pass
        except (Image.UnidentifiedImageError, Image.DecompressionBombError):  # Pillow's own limits
            pass
        except Exception as error:
            faults.append("%s: Image.open raised %r" % (path, error))
    return faults


class Hostile(unittest.TestCase):
    def test_fuzz_corpus_opens_or_is_refused_within_bounded_memory(self):
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([MAKE_SEEDS, folder], check=True, capture_output=True)
            cases = {"empty": b"", "one-byte": b"\x06", "cut-header": header(1, 1)[:30],
                     "huge-frame": header(0x7FFFFFFF, 0x7FFFFFFF, 5), "negative": header(-5, 3),
                     # Within the tools' largest canvas, but past what the child may
                     # take: in the core, or only once copied into Python.
                     "large-frame": header(40000, 40000) + b"\x80\xee\xee\xee\xee",
                     "copied-frame": header(20000, 20000) + b"\x80\xee\xee\xee\xee"}
            for name, data in cases.items():
                with open(os.path.join(folder, name + ".dc6"), "wb") as f:
                    f.write(data)
            # The sprite target's seeds and kept findings: the inputs that reach the reader's faults.
            paths = glob.glob(os.path.join(folder, "*.dc6")) + glob.glob(os.path.join(folder, "dc6_fuzzer", "*"))
            paths += glob.glob(os.path.join(REGRESSIONS, "dc6_fuzzer", "*"))
            self.assertGreater(len(paths), 25)
            child = subprocess.run([sys.executable, __file__] + sys.argv[1:7] + ["--replay"], input="\n".join(paths), text=True,
                                   capture_output=True)
            self.assertEqual(child.returncode, 0, "the replay ended with %d:\n%s%s" % (child.returncode, child.stdout, child.stderr))
            self.assertEqual(child.stdout, "")

    def test_huge_frame_is_a_notice_not_an_allocation(self):
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            sprite = kelvane.read(header(0x7FFFFFFF, 0x7FFFFFFF, 5))
        self.assertFalse(sprite.frames[0].decoded)
        self.assertTrue(any(issubclass(w.category, kelvane.Notice) for w in seen))

    def test_damaged_sample_gives_its_frames_with_notices(self):
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            im = Image.open(os.path.join(SAMPLES, "damaged.dc6"))
            im.load()
        self.assertGreaterEqual(im.n_frames, 1)
        self.assertTrue([w for w in seen if issubclass(w.category, kelvane.Notice)])


if __name__ == "__main__":
    if sys.argv[7:] == ["--replay"]:
        faults = replay(sys.stdin.read().split("\n"))
        sys.stdout.write("".join(line + "\n" for line in faults))
        sys.exit(1 if faults else 0)
    unittest.main(argv=sys.argv[:1])
