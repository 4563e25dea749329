"""The Python package on the core: round trips, Pillow against the converter, hostile sprites.

Arguments: kelvane-convert, the samples folder, the fuzz regressions folder.
"""
import glob
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import warnings

import kelvane
import kelvane.pillow
from PIL import Image

CONVERT, SAMPLES, REGRESSIONS = (os.path.abspath(a) for a in sys.argv[1:4])
SPRITES = sorted(glob.glob(os.path.join(SAMPLES, "*.dc6")))


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

    def test_colour_not_in_palette_is_refused_with_the_packers_reason(self):
        frame = kelvane.Frame(2, 1, b"", b"")
        pal = kelvane.builtin_palette()
        missing = next(c for c in range(1 << 24) if c.to_bytes(3, "big") not in
                       {pal[i:i + 3] for i in range(0, 768, 3)})
        frame.rgba = bytes(pal[3:6]) + b"\xff" + missing.to_bytes(3, "big") + b"\xff"
        with self.assertRaisesRegex(kelvane.Error, "not in the sprite's palette"):
            kelvane.write(kelvane.Sprite([frame]))


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


class Hostile(unittest.TestCase):
    def header(self, width, height, length=0):
        body = struct.pack("<iII4sIi", 6, 0, 0, b"\xee\xee\xee\xee", 0, 1) + struct.pack("<I", 28)
        return body + struct.pack("<IiiiiIII", 0, width, height, 0, 0, 0, 0, length)

    def test_refused_or_damaged_sprites_never_crash_or_allocate_past_the_bounds(self):
        cases = [b"", b"\x06", self.header(1, 1)[:30], self.header(0x7FFFFFFF, 0x7FFFFFFF, 5),
                 self.header(-5, 3), self.header(70000, 70000) + b"\x80\xee\xee\xee\xee"]
        cases += [open(p, "rb").read() for p in glob.glob(os.path.join(REGRESSIONS, "**", "*"), recursive=True)
                  if os.path.isfile(p) and not p.endswith(".md")]
        for data in cases:
            with warnings.catch_warnings(record=True):
                warnings.simplefilter("always")
                try:
                    sprite = kelvane.read(data)
                except kelvane.Error as error:
                    self.assertTrue(str(error))
                    continue
            for f in sprite.frames:
                if f.decoded:
                    self.assertEqual(len(f.indices), f.width * f.height)
        with warnings.catch_warnings(record=True) as seen:
            warnings.simplefilter("always")
            sprite = kelvane.read(self.header(0x7FFFFFFF, 0x7FFFFFFF, 5))
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
    unittest.main(argv=sys.argv[:1])
