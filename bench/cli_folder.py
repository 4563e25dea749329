#!/usr/bin/env python3
"""Whole-folder benchmark of kelvane-convert.

Generates 1,000 sprite files (stitched 256-wide tiles and small animations,
about 200 million pixels) in a folder under the build tree, converts them with
`kelvane-convert -q`, and copies the PCX files it wrote with `cp -r` in the
same run: the copy moves the same output bytes through the same file system
and is the I/O limit. Target: the conversion within 2x the copy.

Conversion and copy take turns, five times each, first one then the other
going first, and each side's best time counts, so that both meet the same
machine. Both create their files in a new sub-folder of the sprite folder, and
earlier outputs are moved aside, not deleted, until the end: ext4 is slow to
create files in a place where many were deleted in the last minutes, and that
must fall on both sides alike. The folder is removed afterwards.

Then the way back: the folder converted with `-f png --json`, and every
manifest packed again with kelvane-pack, one process per sprite as a user's
script would run it, both timed the same way (best of three). Target: packing
takes no longer than converting.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROUNDS = 5
PACK_ROUNDS = 3


def timed(command, notices_allowed=False):
    os.sync()  # no earlier writes still pending when the clock starts
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL if notices_allowed else None)
    elapsed = time.perf_counter() - start
    # Status 1: notices only (the benchmark's sprites use every index, so
    # their PNG images are RGBA, and each says so).
    if done.returncode not in ((0, 1) if notices_allowed else (0,)):
        raise subprocess.CalledProcessError(done.returncode, command)
    return elapsed


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
    converter = os.path.join(build, "cli", "kelvane-convert")
    packer = os.path.join(build, "cli", "kelvane-pack")
    generator = os.path.join(build, "bench", "make_bench_sprites")
    work = tempfile.mkdtemp(prefix="cli-bench-", dir=build)
    try:
        sprites = os.path.join(work, "sprites")
        output = os.path.join(sprites, "PCXFiles")
        files, pixels = map(int, subprocess.run([generator, sprites], check=True, capture_output=True,
                                                text=True).stdout.split())
        convert_times, copy_times = [], []
        subprocess.run([converter, "-q", "-C", sprites], check=True, stdout=subprocess.DEVNULL)
        for round_ in range(ROUNDS):
            def convert_once():
                os.rename(output, os.path.join(sprites, f"converted{round_}"))
                convert_times.append(timed([converter, "-q", "-C", sprites]))

            def copy_once():
                copy_times.append(timed(["cp", "-r", output, os.path.join(sprites, f"copy{round_}")]))

            for step in ((convert_once, copy_once) if round_ % 2 == 0 else (copy_once, convert_once)):
                step()
        convert, copied = min(convert_times), min(copy_times)

        images = os.listdir(output)
        output_bytes = sum(os.path.getsize(os.path.join(output, name)) for name in images)
        megapixels = pixels / 1e6
        print(f"kelvane-convert -q on {files} sprite files ({megapixels:.0f} MB of pixels, "
              f"{len(images)} PCX files, {output_bytes / 1e6:.0f} MB written), best of {ROUNDS}:")
        print(f"  convert  {convert:7.3f} s   {files / convert:8.0f} files/s   {megapixels / convert:7.1f} MB of pixels/s")
        print(f"  cp -r    {copied:7.3f} s   (the same output bytes)")
        print(f"  ratio    {convert / copied:7.2f}     (target: at most 2)")

        # PNG: the same folder with -f png, against ImageMagick's mogrify
        # turning the PCX files of the first run into PNG files.
        png_output = os.path.join(sprites, "PNG")
        png_times = []
        for round_ in range(ROUNDS):
            if os.path.isdir(png_output):
                os.rename(png_output, os.path.join(sprites, f"png-run{round_}"))
            png_times.append(timed([converter, "-q", "-C", sprites, "-f", "png", "-o", "PNG"], notices_allowed=True))
        png = min(png_times)
        png_bytes = sum(os.path.getsize(os.path.join(png_output, name)) for name in os.listdir(png_output))
        mogrified = os.path.join(sprites, "mogrify")
        shutil.copytree(output, mogrified)
        mogrify = timed(["mogrify", "-format", "png", os.path.join(mogrified, "*.pcx")])
        magick_bytes = sum(os.path.getsize(os.path.join(mogrified, name))
                           for name in os.listdir(mogrified) if name.endswith(".png"))
        print(f"kelvane-convert -q -f png on the same folder, best of {ROUNDS}, "
              f"against ImageMagick's mogrify -format png of its PCX files (one run):")
        print(f"  png      {png:7.3f} s   {png_bytes / 1e6:8.1f} MB of PNG files")
        print(f"  mogrify  {mogrify:7.3f} s   {magick_bytes / 1e6:8.1f} MB of PNG files")
        print(f"  speed    {mogrify / png:7.1f} x    (target: at least 10 x)")
        print(f"  size     {png_bytes / magick_bytes:7.2f}     (target: at most 1)")

        bench_packing(converter, packer, sprites, files)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def bench_packing(converter, packer, sprites, files):
    """Converts the folder to PNG with manifests, then packs every manifest."""
    png_times, pack_times = [], []
    for round_ in range(PACK_ROUNDS):
        images = os.path.join(sprites, f"png{round_}")
        png_times.append(timed([converter, "-q", "-C", sprites, "-f", "png", "--json", "-o", images],
                               notices_allowed=True))
        manifests = sorted(name for name in os.listdir(images) if name.endswith(".json"))
        os.sync()
        start = time.perf_counter()
        # One process for the folder, as one converts it: each sprite is
        # written under its own name beside its manifest.
        subprocess.run([packer, "-C", images] + manifests, check=True)
        pack_times.append(time.perf_counter() - start)
    convert, pack = min(png_times), min(pack_times)
    print(f"kelvane-convert -f png --json, then kelvane-pack on each of the {len(manifests)} manifests "
          f"(one process), best of {PACK_ROUNDS}:")
    print(f"  convert  {convert:7.3f} s   {files / convert:8.0f} files/s")
    print(f"  pack     {pack:7.3f} s   {files / pack:8.0f} files/s")
    print(f"  ratio    {pack / convert:7.2f}     (target: at most 1)")


if __name__ == "__main__":
    main()
