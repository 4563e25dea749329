#!/usr/bin/python3
"""A pixel drawn in GIMP changes that pixel only, and a layer moved changes
that frame's offsets only: bounce.dc6 edited through the plug-in, both
converted back with kelvane-convert and compared.

   edit-check.py BUILD_DIR KELVANE_CONVERT SAMPLES"""
import json, os, subprocess, sys
from PIL import Image

build, convert, samples = sys.argv[1:4]
here = os.path.dirname(os.path.abspath(__file__))
work = os.path.join(os.path.abspath(build), "gimp", "edit")
os.makedirs(work, exist_ok=True)
edited = os.path.join(work, "edited.dc6")
src = os.path.join(samples, "bounce.dc6")
# Layers are listed top first; frame 0 is the bottom one (index 7 of 8).
script = f'''(let* ((img (car (file-kelvane-dc6-load 1 "{src}" "b")))
       (ls (cadr (gimp-image-get-layers img)))
       (f1 (vector-ref ls 6)) (f2 (vector-ref ls 5)))
  (gimp-context-set-foreground (list 255 255 255))
  (gimp-context-set-brush (car (cadr (gimp-brushes-get-list "Hardness 100"))))
  (gimp-context-set-brush-hardness 1.0)
  (gimp-context-set-brush-size 1.0)
  (gimp-pencil f1 4 (vector 20.5 20.5 20.5 20.5))
  (gimp-layer-translate f2 3 -2)
  (file-kelvane-dc6-save 1 img f1 "{edited}" "e"))'''
if os.path.exists(edited):
    os.remove(edited)
run = subprocess.run([os.path.join(here, "gimp-batch"), build, script], capture_output=True, text=True)
if not os.path.exists(edited):
    sys.exit("GIMP wrote no sprite:\n" + run.stdout + run.stderr)

def convert_back(folder, name, dc6):
    out = os.path.join(work, folder)
    subprocess.run([convert, "-C", os.path.dirname(dc6), "-f", "png", "--json", "-o", out,
                    os.path.basename(dc6)], check=True, capture_output=True)
    manifest = json.load(open(os.path.join(out, name + ".json")))
    return out, manifest

a_dir, a = convert_back("before", "bounce", src)
b_dir, b = convert_back("after", "edited", edited)
fa, fb = a["frames"], b["frames"]
assert len(fa) == len(fb) == 8, (len(fa), len(fb))
failures = []
for i, (x, y) in enumerate(zip(fa, fb)):
    ia = Image.open(os.path.join(a_dir, x["filename"])).convert("RGBA")
    ib = Image.open(os.path.join(b_dir, y["filename"])).convert("RGBA")
    changed = [(px, py) for py in range(ia.height) for px in range(ia.width)
               if ia.getpixel((px, py)) != ib.getpixel((px, py))]
    want_changed = [(20, 20)] if i == 1 else []
    if i == 1 and ib.getpixel((20, 20))[:3] != (255, 255, 255):
        failures.append(f"frame 1: the drawn pixel is {ib.getpixel((20, 20))}")
    if changed != want_changed:
        failures.append(f"frame {i}: pixels changed {changed[:5]}")
    dx, dy = (3, -2) if i == 2 else (0, 0)
    if (y["xOffset"], y["yOffset"]) != (x["xOffset"] + dx, x["yOffset"] + dy):
        failures.append(f"frame {i}: offsets {x['xOffset'], x['yOffset']} became {y['xOffset'], y['yOffset']}")
print("\n".join(failures) or "the drawn pixel and the moved layer changed only themselves")
sys.exit(1 if failures else 0)
