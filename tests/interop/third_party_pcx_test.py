"""PCX files that other programs write for 8-bit palettized pictures decode
to the pictures they were made from: Pillow (even bytes per line), ImageMagick
and netpbm (runs of several pixels)."""
import os
import random
import subprocess
import sys
import tempfile

from PIL import Image

PCX_TO_PPM = sys.argv[1]


def picture(width, height, seed):
    """A palettized picture with long runs, noise and every top-bit pattern."""
    rng = random.Random(seed)
    image = Image.new("P", (width, height))
    image.putpalette([rng.randrange(256) for _ in range(768)])
    data = []
    for y in range(height):
        for x in range(width):
            if y % 3 == 0:
                data.append(0xC0 + x % 64 if x < width // 2 else 9)
            else:
                data.append(rng.randrange(256))
    image.putdata(data)
    return image


def decoded(pcx):
    ppm = pcx + ".ppm"
    subprocess.run([PCX_TO_PPM, pcx, ppm], check=True)
    with Image.open(ppm) as shown:
        return shown.convert("RGB").copy()


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for width, height in [(37, 23), (64, 10), (1, 5), (300, 7)]:
            source = picture(width, height, width * 1000 + height)
            png = os.path.join(folder, "source.png")
            ppm = os.path.join(folder, "source.ppm")
            source.save(png)
            source.convert("RGB").save(ppm)
            writers = {
                "pillow": lambda out: source.save(out),
                "imagemagick": lambda out: subprocess.run(["convert", png, "-type", "Palette", "PCX:" + out], check=True),
                "netpbm": lambda out: subprocess.run(f"ppmtopcx -8bit '{ppm}' > '{out}'", shell=True, check=True,
                                                     stderr=subprocess.DEVNULL),
            }
            for name, write in writers.items():
                out = os.path.join(folder, f"{name}.pcx")
                write(out)
                expected = source.convert("RGB")
                got = decoded(out)
                if got.size != expected.size or list(got.getdata()) != list(expected.getdata()):
                    print(f"FAIL {name} {width}x{height}: the decoded picture differs")
                    failures += 1
                else:
                    print(f"ok   {name} {width}x{height}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
