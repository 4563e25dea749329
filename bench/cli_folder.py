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

Then several files at a time: the folder as PCX and as PNG with -j 1 and
-j 2 (best of three each, taking turns), against the same `cp -r`. Targets on
this 2-core machine: PCX at -j 2 no slower than the copy, PNG at -j 2 within
3x of it and at least 1.7x faster than at -j 1. The folder as a tree of 50
folders of 20 sprites each, with -r. And the system calls of a -j 2 run
(`strace -c -f`): at most 6 per image beside the writes.

Then growth with the number of sprites: trees of 1,000 and of 50,000 tiny
sprites (folders of 50), converted with `-r -j 1 -f png --json --anim gif`
and as PCX, each measured by the processor time of the whole process (user
and system), and by its system calls (strace -c -f). Targets: 50,000 within
1.2 x of 50 times 1,000, in both. Beside them, the same ratio of `cp -r` of
the PCX outputs: how the file system's own cost grows with that many files. This part alone:
`python3 bench/cli_folder.py build/release --growth`.

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
JOB_ROUNDS = 3
TREE_FOLDERS = 50
GROWTH_ROUNDS = 3
GROWTH_LARGE_ROUNDS = 2


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


def processor_time(command):
    """User and system seconds of the whole process; status 0 or 1 allowed."""
    os.sync()  # no earlier writes still pending on the system's account
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    code = os.waitstatus_to_exitcode(status)
    if code not in (0, 1):
        raise subprocess.CalledProcessError(code, command)
    return usage.ru_utime, usage.ru_stime


def system_calls(command, report_path):
    """System calls of a run by name, every thread counted (strace -c -f)."""
    done = subprocess.run(["strace", "-f", "-c", "-o", report_path] + command,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if done.returncode not in (0, 1):
        raise subprocess.CalledProcessError(done.returncode, command)
    calls = {}
    with open(report_path) as report:
        for line in report:
            fields = line.split()
            if len(fields) >= 5 and fields[0][0].isdigit() and fields[-1] != "total":
                calls[fields[-1]] = int(fields[3])
    return calls


def bench_growth(converter, generator, work):
    """Processor time of tree runs of 1,000 and 50,000 tiny sprites."""
    small, large = 1000, 50000
    runs = {"png --json --anim gif": ["-f", "png", "--json", "--anim", "gif"], "pcx": ["-f", "pcx"]}
    print(f"kelvane-convert -q -r -j 1 on trees of {small} and {large} tiny sprites (folders of 50), "
          f"processor time of the whole process, best of {GROWTH_ROUNDS} ({small}) and of "
          f"{GROWTH_LARGE_ROUNDS} ({large}):")
    for count in (small, large):
        subprocess.run([generator, os.path.join(work, f"tree{count}"), str(count), "small"], check=True,
                       stdout=subprocess.DEVNULL)
    for label, extra in runs.items():
        seconds = {}
        for count, rounds in ((small, GROWTH_ROUNDS), (large, GROWTH_LARGE_ROUNDS)):
            tree = os.path.join(work, f"tree{count}")
            # Every run writes into a new folder and earlier outputs stay
            # until the end: files created where many were just deleted cost
            # the system more, and that must not fall on one side only.
            spent = [processor_time([converter, "-q", "-r", "-j", "1", "-C", tree, "-o",
                                     os.path.join(work, f"out-{count}-{label.split()[0]}-{round_}")] + extra)
                     for round_ in range(rounds)]
            seconds[count] = min(spent, key=sum)
        total = {count: sum(parts) for count, parts in seconds.items()}
        ratio = total[large] / (total[small] * large / small)
        print(f"  {label:22s} {small}: {total[small]:7.3f} s (user {seconds[small][0]:.3f})   "
              f"{large}: {total[large]:8.3f} s (user {seconds[large][0]:.3f})   "
              f"{large} / ({large // small} x {small}) {ratio:5.2f}   (target: at most 1.2)")
        # What the run asks of the system, which the clock of a file system
        # under 100,000 new files does not show alone.
        calls = {count: sum(system_calls([converter, "-q", "-r", "-j", "1", "-C", os.path.join(work, f"tree{count}"),
                                          "-o", os.path.join(work, f"strace-{count}-{label.split()[0]}")] + extra,
                                         os.path.join(work, f"strace-{count}.txt")).values())
                 for count in (small, large)}
        print(f"  {'':22s} system calls per sprite {calls[small] / small:.2f} and {calls[large] / large:.2f}   "
              f"{large} / ({large // small} x {small}) {calls[large] / (calls[small] * large / small):5.2f}   "
              f"(target: at most 1.2)")
    # The file system's own growth: the PCX outputs of both trees copied.
    copy = {}
    for count, rounds in ((small, GROWTH_ROUNDS), (large, GROWTH_LARGE_ROUNDS)):
        outputs = os.path.join(work, f"out-{count}-pcx-0")
        copy[count] = min(sum(processor_time(["cp", "-r", outputs, f"{outputs}-copy{round_}"]))
                          for round_ in range(rounds))
    print(f"  {'cp -r of the PCX outputs':22s} {small}: {copy[small]:7.3f} s   {large}: {copy[large]:8.3f} s   "
          f"{large} / ({large // small} x {small}) {copy[large] / (copy[small] * large / small):5.2f}   (the floor)")


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/release")
    converter = os.path.join(build, "cli", "kelvane-convert")
    packer = os.path.join(build, "cli", "kelvane-pack")
    generator = os.path.join(build, "bench", "make_bench_sprites")
    work = tempfile.mkdtemp(prefix="cli-bench-", dir=build)
    if "--growth" in sys.argv[2:]:
        try:
            bench_growth(converter, generator, work)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        return
    try:
        sprites = os.path.join(work, "sprites")
        output = os.path.join(sprites, "PCXFiles")
        files, pixels = map(int, subprocess.run([generator, sprites], check=True, capture_output=True,
                                                text=True).stdout.split())
        convert_times, copy_times = [], []
        subprocess.run([converter, "-q", "-j", "1", "-C", sprites], check=True, stdout=subprocess.DEVNULL)
        for round_ in range(ROUNDS):
            def convert_once():
                os.rename(output, os.path.join(sprites, f"converted{round_}"))
                convert_times.append(timed([converter, "-q", "-j", "1", "-C", sprites]))

            def copy_once():
                copy_times.append(timed(["cp", "-r", output, os.path.join(sprites, f"copy{round_}")]))

            for step in ((convert_once, copy_once) if round_ % 2 == 0 else (copy_once, convert_once)):
                step()
        convert, copied = min(convert_times), min(copy_times)

        images = os.listdir(output)
        output_bytes = sum(os.path.getsize(os.path.join(output, name)) for name in images)
        megapixels = pixels / 1e6
        print(f"kelvane-convert -q -j 1 on {files} sprite files ({megapixels:.0f} MB of pixels, "
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
            png_times.append(timed([converter, "-q", "-j", "1", "-C", sprites, "-f", "png", "-o", "PNG"],
                                   notices_allowed=True))
        png = min(png_times)
        png_bytes = sum(os.path.getsize(os.path.join(png_output, name)) for name in os.listdir(png_output))
        mogrified = os.path.join(sprites, "mogrify")
        shutil.copytree(output, mogrified)
        mogrify = timed(["mogrify", "-format", "png", os.path.join(mogrified, "*.pcx")])
        magick_bytes = sum(os.path.getsize(os.path.join(mogrified, name))
                           for name in os.listdir(mogrified) if name.endswith(".png"))
        print(f"kelvane-convert -q -j 1 -f png on the same folder, best of {ROUNDS}, "
              f"against ImageMagick's mogrify -format png of its PCX files (one run):")
        print(f"  png      {png:7.3f} s   {png_bytes / 1e6:8.1f} MB of PNG files")
        print(f"  mogrify  {mogrify:7.3f} s   {magick_bytes / 1e6:8.1f} MB of PNG files")
        print(f"  speed    {mogrify / png:7.1f} x    (target: at least 10 x)")
        print(f"  size     {png_bytes / magick_bytes:7.2f}     (target: at most 1)")

        bench_jobs(converter, sprites, files, copied, len(images))
        bench_growth(converter, generator, work)
        bench_packing(converter, packer, sprites, files)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def bench_jobs(converter, sprites, files, copied, images):
    """-j 1 against -j 2, the folder as a tree with -r, and the system calls."""
    times = {}
    for round_ in range(JOB_ROUNDS):
        for jobs in (("1", "2") if round_ % 2 == 0 else ("2", "1")):
            for image_format in ("pcx", "png"):
                out = os.path.join(sprites, f"jobs-{image_format}-{jobs}-{round_}")
                times.setdefault((image_format, jobs), []).append(
                    timed([converter, "-q", "-j", jobs, "-C", sprites, "-f", image_format, "-o", out],
                          notices_allowed=True))
    best = {key: min(values) for key, values in times.items()}
    print(f"kelvane-convert -q -j 1 and -j 2 on the same folder, best of {JOB_ROUNDS}, against cp -r "
          f"of its PCX files ({copied:.3f} s):")
    for image_format in ("pcx", "png"):
        one, two = best[(image_format, "1")], best[(image_format, "2")]
        target = "no slower than cp -r" if image_format == "pcx" else "within 3x of cp -r"
        print(f"  {image_format} -j 1 {one:7.3f} s   -j 2 {two:7.3f} s   -j 2 / cp -r {two / copied:5.2f} "
              f"(target: {target})   -j 1 / -j 2 {one / two:5.2f}" +
              ("   (target: at least 1.7)" if image_format == "png" else ""))

    # The tree: 50 folders of 20 sprites each, linked to the folder's files.
    tree = os.path.join(os.path.dirname(sprites), "tree")
    names = sorted(name for name in os.listdir(sprites) if name.endswith(".dc6"))
    for i, name in enumerate(names):
        folder = os.path.join(tree, f"folder{i % TREE_FOLDERS:02d}")
        os.makedirs(folder, exist_ok=True)
        os.link(os.path.join(sprites, name), os.path.join(folder, name))
    tree_times = []
    for round_ in range(JOB_ROUNDS):
        tree_times.append(timed([converter, "-q", "-r", "-j", "2", "-C", tree, "-o", f"../tree-out{round_}"]))
    tree_time = min(tree_times)
    print(f"kelvane-convert -q -r -j 2 on the folder as a tree of {TREE_FOLDERS} folders "
          f"(the images mirrored below -o), best of {JOB_ROUNDS}:")
    print(f"  tree     {tree_time:7.3f} s   {files / tree_time:8.0f} files/s   tree / cp -r {tree_time / copied:5.2f}")

    # System calls of a -j 2 run, every thread counted.
    calls = system_calls([converter, "-q", "-j", "2", "-C", sprites, "-o", "strace-out"],
                         os.path.join(os.path.dirname(sprites), "strace.txt"))
    writes = sum(calls.get(name, 0) for name in ("write", "writev", "pwrite64"))
    others = sum(calls.values()) - writes
    top = ", ".join(f"{name} {count}" for name, count in sorted(calls.items(), key=lambda item: -item[1])[:8])
    print(f"system calls of kelvane-convert -q -j 2 on the folder ({images} images; strace -c -f):")
    print(f"  beside the writes {others / images:5.2f} per image   (target: at most 6)   {top}")


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
