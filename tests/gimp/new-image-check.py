#!/usr/bin/python3
"""Images made in GIMP itself, not opened from a sprite:

- an indexed image of two layers (one moved, one with transparent pixels)
  exports a sprite that kelvane-convert turns back into those indices, that
  transparency and those offsets;
- an RGB image with a colour the palette lacks is refused, nothing written,
  with the reason kelvane-pack gives for the same pixels.

   new-image-check.py BUILD_DIR KELVANE_CONVERT KELVANE_PACK SAMPLES"""
import json, os, shutil, subprocess, sys
from PIL import Image

build, convert, pack, samples = sys.argv[1:5]
here = os.path.dirname(os.path.abspath(__file__))
work = os.path.join(os.path.abspath(build), "gimp", "new-image")
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
failures = []

# Two frames, bottom layer first: frame 0 is 6 x 5 at 0,0 with transparent
# pixels; frame 1 is 4 x 3, opaque, moved to 2,1. Index 0 is drawn opaque too.
frames = [
    {"width": 6, "height": 5, "place": (0, 0),
     "pixels": [[None if (x + y) % 4 == 0 else (x * 5 + y * 11) % 9 for x in range(6)] for y in range(5)]},
    {"width": 4, "height": 3, "place": (2, 1),
     "pixels": [[(x * 3 + y * 7) % 9 for x in range(4)] for y in range(3)]},
]
colormap = [c for i in range(9) for c in ((40 * i) % 256, (90 * i + 17) % 256, 255 - 25 * i)]

def layer_script(f, name):
    sets = "".join(f"(gimp-drawable-set-pixel {name} {x} {y} 2 (vector {v} 255))\n"
                   for y, row in enumerate(f["pixels"]) for x, v in enumerate(row) if v is not None)
    return (f'({name} (car (gimp-layer-new img {f["width"]} {f["height"]} INDEXEDA-IMAGE "{name}" 100 '
            f'LAYER-MODE-NORMAL)))', sets)

made = os.path.join(work, "made.dc6")
(d0, s0), (d1, s1) = layer_script(frames[0], "f0"), layer_script(frames[1], "f1")
indexed = f'''(let* ((img (car (gimp-image-new 8 5 INDEXED)))
       (ignored (gimp-image-set-colormap img {len(colormap)} (vector {" ".join(map(str, colormap))})))
       {d0} {d1})
  (gimp-image-insert-layer img f0 0 0)
  (gimp-image-insert-layer img f1 0 0)
  (gimp-drawable-fill f0 FILL-TRANSPARENT)
  {s0}{s1}(gimp-layer-set-offsets f1 2 1)
  (file-kelvane-dc6-save 1 img f1 "{made}" "made.dc6"))'''

# A colour the built-in palette lacks, found from the palette the converter exports.
palette_file = os.path.join(work, "builtin.gpl")
subprocess.run([convert, "-C", samples, "-o", os.path.join(work, "palette-run"), "--export-palette", palette_file, "bounce.dc6"], check=True,
               capture_output=True)
known = set()
for line in open(palette_file):
    parts = line.split()
    if len(parts) >= 3 and all(p.isdigit() for p in parts[:3]):
        known.add(tuple(int(p) for p in parts[:3]))
missing = next((r, g, 7) for r in range(256) for g in range(256) if (r, g, 7) not in known)
present = next(iter(sorted(known)))
rgb_pixels = [present, present, missing, present, present, present]  # 3 x 2, the odd one at 2,0
refused = os.path.join(work, "refused.dc6")
fills = "".join(f"(gimp-drawable-set-pixel l {i % 3} {i // 3} 3 (vector {r} {g} {b}))\n"
                for i, (r, g, b) in enumerate(rgb_pixels))
rgb = f'''(let* ((img (car (gimp-image-new 3 2 RGB)))
       (l (car (gimp-layer-new img 3 2 RGB-IMAGE "frame 0" 100 LAYER-MODE-NORMAL))))
  (gimp-image-insert-layer img l 0 0)
  {fills}(file-kelvane-dc6-save 1 img l "{refused}" "refused.dc6"))'''

run = subprocess.run([os.path.join(here, "gimp-batch"), build, indexed, rgb], capture_output=True, text=True)
log = run.stdout + run.stderr

# The indexed image, converted back.
if not os.path.exists(made):
    failures.append("GIMP wrote no sprite of the indexed image")
else:
    out = os.path.join(work, "back")
    subprocess.run([convert, "-C", work, "-f", "png", "--json", "-o", out, "made.dc6"], check=True,
                   capture_output=True)
    manifest = json.load(open(os.path.join(out, "made.json")))
    if len(manifest["frames"]) != 2:
        failures.append(f"{len(manifest['frames'])} frames, not 2")
    for n, (want, got) in enumerate(zip(frames, manifest["frames"])):
        if (got["xOffset"], got["yOffset"]) != want["place"]:
            failures.append(f"frame {n}: offsets {got['xOffset'], got['yOffset']}, not {want['place']}")
        im = Image.open(os.path.join(out, got["filename"]))
        alpha = im.convert("RGBA").getchannel("A")
        x0, y0 = got["frame"]["x"], got["frame"]["y"]
        shown = [[None if alpha.getpixel((x0 + x, y0 + y)) == 0 else im.getpixel((x0 + x, y0 + y))
                  for x in range(want["width"])] for y in range(want["height"])]
        if shown != want["pixels"]:
            failures.append(f"frame {n}: converted back as {shown}, drawn as {want['pixels']}")

# The RGB image: refused as kelvane-pack refuses the same pixels.
png = os.path.join(work, "refused.png")
Image.frombytes("RGB", (3, 2), bytes(c for p in rgb_pixels for c in p)).save(png)
packed = subprocess.run([pack, "-p", palette_file, "-o", os.path.join(work, "packed.dc6"), png],
                        capture_output=True, text=True)
# The reason up to what the user is told to do, which names each front end's own controls.
reason = packed.stderr.split(png + ": ", 1)[-1].split(";", 1)[0].strip()
if packed.returncode == 0 or "(pixel 2,0) is not in the sprite's palette" not in reason:
    failures.append(f"kelvane-pack did not refuse the colour as expected: {packed.stderr!r}")
if os.path.exists(refused):
    failures.append("GIMP wrote a sprite of an RGB image with a colour the palette lacks")
if reason not in log:
    failures.append(f"GIMP's message does not give kelvane-pack's reason {reason!r}:\n{log}")
# The plug-in has no nearest-colour choice, so its message offers none.
elif reason + "; paint with the palette's colours" not in log or "to take the nearest" in log:
    failures.append(f"GIMP's message tells the user more or less than to paint with the palette's colours:\n{log}")

print("\n".join(failures) or "new images export as drawn; a colour the palette lacks is refused as kelvane-pack does")
sys.exit(1 if failures else 0)
