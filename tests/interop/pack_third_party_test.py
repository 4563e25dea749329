"""Images that other programs write pack into sprites that convert back to the
same palette indices: Pillow's indexed PNG (8 and 4 bits, one transparent
entry), ImageMagick's and netpbm's 8-bit PCX."""
import os
import random
import subprocess
import sys
import tempfile

from PIL import Image

PACK, CONVERT = sys.argv[1], sys.argv[2]
TRANSPARENT = 7


def picture(width, height, colours, seed):
    rng = random.Random(seed)
    image = Image.new("P", (width, height))
    image.putpalette([rng.randrange(256) for _ in range(3 * colours)])
    image.putdata([TRANSPARENT if rng.randrange(4) == 0 else rng.randrange(colours) for _ in range(width * height)])
    return image


def indices(path):
    with Image.open(path) as image:
        assert image.mode == "P", f"{path} is {image.mode}, not indexed"
        return list(image.getdata()), image.info.get("transparency")


def round_trip(folder, source):
    """Packs source alone, converts the sprite back, returns the image's indices and transparent index."""
    sprite = source + ".dc6"
    subprocess.run([PACK, "-C", folder, "-o", sprite, source], check=True)
    out = source + ".out"
    subprocess.run([CONVERT, "-q", "-C", folder, "-f", "png", "-o", out, sprite], check=True, stdout=subprocess.DEVNULL)
    return indices(os.path.join(folder, out, source + ".png"))


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for width, height, colours, bits in [(37, 23, 256, 8), (5, 40, 16, 4), (300, 3, 256, 8)]:
            source = picture(width, height, colours, width * 100 + height)
            expected = list(source.getdata())
            source.save(os.path.join(folder, "pillow.png"), transparency=TRANSPARENT, bits=bits)
            got, marked = round_trip(folder, "pillow.png")
            # The transparent pixels come back as the converter's transparent index.
            want = [marked if value == TRANSPARENT else value for value in expected]
            checks = {"pillow": (got, want)}

            plain = os.path.join(folder, "plain.png")
            source.save(plain)
            source.convert("RGB").save(os.path.join(folder, "plain.ppm"))
            subprocess.run(["convert", plain, "-type", "Palette", "PCX:" + os.path.join(folder, "im.pcx")], check=True)
            subprocess.run(f"ppmtopcx -8bit '{folder}/plain.ppm' > '{folder}/netpbm.pcx'", shell=True, check=True,
                           stderr=subprocess.DEVNULL)
            for name in ("im.pcx", "netpbm.pcx"):
                # The PCX's own indices; those equal to the fill byte EE are
                # transparent and come back as EE.
                checks[name] = (round_trip(folder, name)[0], indices(os.path.join(folder, name))[0])
            for name, (got, want) in checks.items():
                if got != want:
                    print(f"FAIL {name} {width}x{height}: the indices differ")
                    failures += 1
                else:
                    print(f"ok   {name} {width}x{height}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
