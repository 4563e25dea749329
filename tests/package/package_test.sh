#!/bin/sh
# Checks the Debian package as a user gets it: unpacked into a temporary
# root, its tools write the same files as the build tree's tools, its man
# pages render without a warning, its desktop entry is valid, and lintian
# finds no error in it.
#
# usage: tests/package/package_test.sh PACKAGE.deb NATIVE_BUILD
set -eu
[ $# -eq 2 ] || { sed -n '2,7p' "$0" >&2; exit 2; }
deb=$1 native=$2
samples=$native/samples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

dpkg-deb -x "$deb" "$root"

# Runs a tool of the package and the same tool of the build tree, each in a
# fresh copy of the samples (and of $work/inputs, when there is one), and
# compares their exit statuses, messages and every file they leave behind.
same_as_built() {
    name=$1 tool=$2
    shift 2
    for side in packaged built; do
        rm -rf "${work:?}/$side"
        mkdir "$work/$side"
        cp "$samples"/* "$work/$side/"
        [ ! -d "$work/inputs" ] || cp -r "$work/inputs"/* "$work/$side/"
    done
    given=$(find "$work/built" -type f | wc -l)
    set +e
    "$root/usr/bin/$tool" -C "$work/packaged" "$@" >"$work/packaged.out" 2>&1
    packaged_status=$?
    "$native/cli/$tool" -C "$work/built" "$@" >"$work/built.out" 2>&1
    built_status=$?
    set -e
    written=$(($(find "$work/built" -type f | wc -l) - given))
    if [ "$packaged_status" -ne "$built_status" ]; then
        fail "$name: exit status $packaged_status, the build tree's $built_status"
    elif ! diff -r "$work/packaged" "$work/built" >/dev/null; then
        fail "$name: the files differ from the build tree's"
        diff -r "$work/packaged" "$work/built" | head -5 >&2
    elif ! cmp -s "$work/packaged.out" "$work/built.out"; then
        fail "$name: the messages differ from the build tree's"
    elif [ "$written" -eq 0 ]; then
        fail "$name: nothing was written, nothing compared"
    else
        echo "ok: $name (exit status $built_status)"
    fi
}

same_as_built "kelvane-convert, every sample" kelvane-convert -q
same_as_built "kelvane-convert, a palette file" kelvane-convert -q -p warm.pal gem.dc6 bounce.dc6

if [ -x "$native/cli/kelvane-pack" ] || [ -e "$root/usr/bin/kelvane-pack" ]; then
    [ -x "$root/usr/bin/kelvane-pack" ] || fail "kelvane-pack is built but not in the package"
    [ -x "$native/cli/kelvane-pack" ] || fail "kelvane-pack is in the package but not built"
    if [ "$failures" -eq 0 ]; then
        # The images of the sample with frame offsets, packed again.
        mkdir "$work/inputs"
        cp "$samples/bounce.dc6" "$work/inputs/"
        "$native/cli/kelvane-convert" -q -C "$work/inputs" bounce.dc6 >/dev/null
        set --
        for image in "$work"/inputs/PCXFiles/bounce?.pcx; do set -- "$@" "PCXFiles/${image##*/}"; done
        same_as_built "kelvane-pack" kelvane-pack -o repacked.dc6 --like bounce.dc6 --offset 1:2,3 "$@"
    fi
else
    echo "skipped: kelvane-pack (not built in this tree)"
fi

for page in kelvane-convert kelvane-pack kelvane; do
    file=$root/usr/share/man/man1/$page.1.gz
    if [ ! -f "$file" ]; then
        fail "man page $page(1) missing"
        continue
    fi
    warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        fail "man page $page(1) renders with warnings:"
        echo "$warnings" >&2
    elif ! MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "^EXIT STATUS"; then
        fail "man page $page(1) renders without its exit statuses"
    else
        echo "ok: man page $page(1)"
    fi
done

# The launcher started by a relative path from the unpacked package, with a
# CDPATH that holds a decoy tree of the same layout: Wine (a stand-in that
# records its arguments) must get this package's program, on one line.
mkdir -p "$work/decoy/usr/bin" "$work/decoy/usr/lib/kelvane-converter" "$work/fakebin" \
    "$work/data/kelvane-converter/wine"
: >"$work/data/kelvane-converter/wine/system.reg"
cat >"$work/fakebin/wine" <<'WINE'
#!/bin/sh
printf '%s\n' "$@" >"$WINE_ARGUMENTS"
WINE
chmod +x "$work/fakebin/wine"
expected=$(cd "$root/usr/lib/kelvane-converter" && pwd -P)/kelvane.exe
(cd "$root" && CDPATH="$work/decoy" PATH="$work/fakebin:$PATH" DISPLAY=:0 XDG_DATA_HOME="$work/data" \
    WINE_ARGUMENTS="$work/wine.args" usr/bin/kelvane) >"$work/launcher.out" 2>&1 || true
if [ "$(cat "$work/wine.args" 2>/dev/null)" = "$expected" ]; then
    echo "ok: launcher started by a relative path with CDPATH set"
else
    fail "launcher with CDPATH: Wine was given '$(cat "$work/wine.args" 2>/dev/null)', not '$expected'"
    cat "$work/launcher.out" >&2
fi

if desktop-file-validate "$root/usr/share/applications/kelvane-converter.desktop"; then
    echo "ok: desktop entry"
else
    fail "desktop entry"
fi

lintian --allow-root "$deb" >"$work/lintian.out" 2>&1 || true
cat "$work/lintian.out"
if grep -q '^E:' "$work/lintian.out"; then
    fail "lintian reports errors"
else
    echo "ok: lintian, no error"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "package checks passed"
