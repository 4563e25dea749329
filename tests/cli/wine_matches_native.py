#!/usr/bin/env python3
"""kelvane-convert.exe under Wine against the native kelvane-convert.

Both convert their own copy of the sample folder (with a folder named x.dc6
and an empty sprite file added): with the built-in palette, with -C and the
sample palette, as PNG with manifests, and as sheets. The exit status, the
lines on standard output and standard error, and every file written must be
the same, byte for byte. Windows' line ends and path separator are the only
differences allowed.
"""
import argparse
import os
import subprocess
import sys
import tempfile


def normalised(text):
    return text.replace(b"\r\n", b"\n").replace(b"\\", b"/")


def run(command, folder):
    done = subprocess.run(command, cwd=folder, capture_output=True, timeout=600)
    return done.returncode, normalised(done.stdout), normalised(done.stderr)


def outputs(folder, output="PCXFiles"):
    output = os.path.join(folder, output)
    files = {}
    for name in sorted(os.listdir(output)):
        with open(os.path.join(output, name), "rb") as file:
            files[name] = file.read()
    return files


def make_folder(work, name, make_samples):
    folder = os.path.join(work, name)
    subprocess.run([make_samples, folder], check=True)
    os.mkdir(os.path.join(folder, "x.dc6"))
    open(os.path.join(folder, "empty.DC6"), "wb").close()
    return folder


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--native", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--wine-run", required=True)
    args = parser.parse_args()
    for program in (args.native, args.samples):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} is missing: build the native tree first (make native)")

    failures = 0
    checks = 0
    with tempfile.TemporaryDirectory(prefix="wine-cli-", dir=os.path.dirname(args.windows)) as work:
        native = make_folder(work, "native", args.samples)
        windows = make_folder(work, "windows", args.samples)
        png = ["-f", "png", "--json", "-o", "PNG"]
        sheets = ["--sheet", "--json", "-f", "png", "-p", "warm.pal", "-o", "Sheets"]
        rounds = [  # (title, (folder, arguments) natively, (folder, arguments) under Wine, output folder)
            ("built-in palette", (native, []), (windows, []), "PCXFiles"),
            ("-C and -p warm.pal",
             (work, ["-C", "native", "-p", "warm.pal"]), (work, ["-C", "windows", "-p", "warm.pal"]), "PCXFiles"),
            ("-f png --json", (native, png), (windows, png), "PNG"),
            ("--sheet --json -f png -p warm.pal", (native, sheets), (windows, sheets), "Sheets"),
        ]
        for title, (native_cwd, native_args), (windows_cwd, windows_args), output in rounds:
            native_run = run([args.native] + native_args, native_cwd)
            windows_run = run([args.wine_run, args.windows] + windows_args, windows_cwd)
            native_files, windows_files = outputs(native, output), outputs(windows, output)
            print(f"{title}: status {native_run[0]}, {len(native_files)} files, "
                  f"{len(native_run[2].splitlines())} notices")
            for what, mine, theirs in [
                ("exit status", native_run[0], windows_run[0]),
                ("standard output", native_run[1], windows_run[1]),
                ("standard error", native_run[2], windows_run[2]),
                ("file names", sorted(native_files), sorted(windows_files)),
                ("file bytes", native_files, windows_files),
                ("something converted", True, bool(native_files)),
            ]:
                checks += 1
                if mine != theirs:
                    failures += 1
                    print(f"{title}: {what} differs\n  native:  {mine!r:.600}\n  windows: {theirs!r:.600}")
    print(f"{checks - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
