#!/bin/sh
# The release as a user meets it: make-dist lays out the folder and the zip,
# the zip holds every file, and kelvane.exe started from the unpacked folder
# lists the sample sprites and opens its help on F1.
#
# usage: dist_test.sh WIN_BUILD NATIVE_BUILD   (run with a display, under CTest)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
win=$1 native=$2
work=$(mktemp -d)
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$top/tools/make-dist" "$win" "$native" "$work/made/kelvane-converter" "$work/kelvane-converter.zip" >/dev/null
mkdir "$work/unpacked"
(cd "$work/unpacked" && unzip -q "$work/kelvane-converter.zip")
folder="$work/unpacked/kelvane-converter"
for file in kelvane.exe kelvane-convert.exe kelvane-pack.exe Kelvane.chm README.txt warm.pal; do
    [ -s "$folder/$file" ] || fail "the package has no $file"
done
sprites=$(ls "$folder"/*.dc6 | wc -l)
[ "$sprites" -ge 4 ] || fail "the package has $sprites sample sprites"
echo "ok   the package holds the program, the converter, the help, the readme and $sprites samples"

# Waits up to 30 seconds for a window whose title matches; prints its id.
await_window() {
    for _ in $(seq 1 60); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || true
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.5
    done
    return 1
}

cd "$folder"
"$top/tools/wine-run" ./kelvane.exe >/dev/null 2>&1 &
program=$!
main=$(await_window "^Kelvane Converter: \(0/$sprites files\)\$") || fail "the main window did not list the $sprites samples"
echo "ok   kelvane.exe started in its folder lists the samples"

xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool key --window "$main" F1
await_window '^Kelvane Converter Help$' >/dev/null || fail "F1 opened no help window"
if xdotool search --onlyvisible --name '^Kelvane Converter$' >/dev/null 2>&1; then
    fail "F1 showed a message box instead of the help"
fi
echo "ok   F1 opens the help window \"Kelvane Converter Help\""
