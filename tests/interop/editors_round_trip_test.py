"""The converted samples through the editors and tools artists use, at their
defaults, then packed again: each comes back exact (the same sprite as the
unedited images give) or is refused with a reason, never a changed sprite.
GIMP's "Export as PNG" is written here as its bytes are (the palette kept,
the transparent pixels moved to index 0, marked in tRNS).

    editors_round_trip_test.py KELVANE_PACK KELVANE_CONVERT SAMPLES_FOLDER

Prints one line per case and the table tool x outcome at the end."""
import collections
import glob
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

PACK, CONVERT, SAMPLES = sys.argv[1], sys.argv[2], sys.argv[3]


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def imagemagick(source, target):
    return run(["convert", source, target]).returncode == 0


def pngquant(source, target):
    return run(["pngquant", "--force", "--output", target, source]).returncode in (0, 99)


def netpbm(source, target):
    return subprocess.run(f"pngtopnm '{source}' | pnmtopng > '{target}'", shell=True,
                          stderr=subprocess.DEVNULL).returncode == 0


def optipng(source, target):
    shutil.copy(source, target)
    return run(["optipng", "-quiet", target]).returncode == 0


def pillow_draw(source, target):
    """A line in a colour the palette lacks, drawn in an unused entry, as Pillow's ImageDraw does."""
    with Image.open(source) as image:
        image.load()
        if image.mode != "P":
            return False
        used = {index for _, index in image.getcolors(256)}
        free = next((i for i in range(256) if i not in used and i != image.info.get("transparency")), None)
        if free is None:
            return False
        palette = image.getpalette()
        palette[3 * free:3 * free + 3] = [1, 2, 3]
        image.putpalette(palette)
        ImageDraw.Draw(image).line([(0, 0), (image.width - 1, 0)], fill=free)
        image.save(target, transparency=image.info.get("transparency"))
    return True


def gimp(source, target, reindex=False):
    """GIMP 2.10's export of an indexed image with transparency: the palette
    kept, transparent pixels moved to the lowest unused index (0 where it is
    free), which alone tRNS marks. With reindex, what its pencil does in
    Indexed mode around a stroke, here to every pixel: each takes the first
    palette entry of its colour, so an untouched pixel of a colour the palette
    holds twice may move to the other entry."""
    with Image.open(source) as image:
        image.load()
        if image.mode != "P" or "transparency" not in image.info:
            return False
        marked = image.info["transparency"]
        used = {index for _, index in image.getcolors(256)} - {marked}
        free = next(i for i in range(256) if i not in used)
        pixels = [free if value == marked else value for value in image.getdata()]
        if reindex:
            palette = image.getpalette()
            first = {}
            for i in range(len(palette) // 3):
                if i != free:
                    first.setdefault(tuple(palette[3 * i:3 * i + 3]), i)
            pixels = [value if value == free else first[tuple(palette[3 * value:3 * value + 3])] for value in pixels]
        out = Image.new("P", image.size)
        out.putpalette(image.getpalette())
        out.putdata(pixels)
        out.save(target, transparency=free)
    return True


TOOLS = {"gimp": gimp, "gimp-pencil": lambda source, target: gimp(source, target, reindex=True), "imagemagick": imagemagick, "pngquant": pngquant, "netpbm": netpbm, "optipng": optipng,
         "pillow-draw": pillow_draw}


def pack(folder, manifest, output, original):
    # The original sprite settles colours the palette holds twice (warm.pal does).
    result = run([PACK, "-C", folder, "-o", output, "--like", original, manifest])
    return result.returncode, result.stderr.strip()


def main():
    table = collections.defaultdict(collections.Counter)
    faults = 0
    with tempfile.TemporaryDirectory() as work:
        for sprite in sorted(glob.glob(os.path.join(SAMPLES, "*.dc6"))):
            name = os.path.basename(sprite)[:-4]
            if name == "damaged":
                continue
            for palette in (None, "warm.pal"):
                label = f"{name}{' -p warm.pal' if palette else ''}"
                shutil.copy(sprite, work)
                shutil.copy(os.path.join(SAMPLES, "warm.pal"), work)
                converted = os.path.join(work, "converted")
                shutil.rmtree(converted, ignore_errors=True)
                command = [CONVERT, "-q", "-C", work, "-f", "png", "--json", "-o", "converted"]
                if palette:
                    command += ["-p", palette]
                subprocess.run(command + [name + ".dc6"], check=True, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
                status, said = pack(converted, name + ".json", "../reference.dc6", "../" + name + ".dc6")
                if status != 0:
                    print(f"FAIL {label}: the unedited images pack with status {status}: {said}")
                    faults += 1
                    continue
                with open(os.path.join(work, "reference.dc6"), "rb") as f:
                    reference = f.read()
                for tool, edit in TOOLS.items():
                    edited = os.path.join(work, "edited")
                    shutil.rmtree(edited, ignore_errors=True)
                    shutil.copytree(converted, edited)
                    images = sorted(glob.glob(os.path.join(converted, "*.png")))
                    if not all(edit(image, os.path.join(edited, os.path.basename(image))) for image in images):
                        table[tool]["not applicable"] += 1
                        continue
                    status, said = pack(edited, name + ".json", "../packed.dc6", "../" + name + ".dc6")
                    packed = b""
                    if status in (0, 1):
                        with open(os.path.join(work, "packed.dc6"), "rb") as f:
                            packed = f.read()
                    if status == 0 and packed == reference:
                        outcome = "exact"
                    elif status == 2 and said.startswith("kelvane-pack: ") and said.count("\n") == 0:
                        outcome = "refused"
                    elif status == 1 and packed == reference:
                        outcome = "exact, notice"
                    else:
                        outcome = "FAULT"
                        faults += 1
                    table[tool][outcome] += 1
                    print(f"{outcome:8} {tool:12} {label}: status {status} {said}")
    print("\ntool          outcomes (samples x palettes)")
    for tool in TOOLS:
        print(f"{tool:13} " + ", ".join(f"{outcome} {count}" for outcome, count in sorted(table[tool].items())))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
