#!/usr/bin/env bash
# Installs the build into a scratch folder as a package would (prefix /usr, DESTDIR) and checks what a
# desktop reads from it: exactly the expected files, a valid desktop entry and AppStream metadata, a
# saved-game type that shared-mime-info accepts, every icon at its size, a clean manual page, and an
# installed program that tells its version with no display.
#
#   bash check_install.sh CMAKE BUILD_DIR VERSION APP_ID
set -uo pipefail
cmake="$1"
build="$2"
version="$3"
id="$4"
icon_sizes=(16 24 32 48 64 128 256 512)

root="$(mktemp -d "${TMPDIR:-/tmp}/dealbrix-install.XXXXXX")"
trap 'rm -rf "$root"' EXIT
usr="$root/usr"
failures=0

pass() { echo "ok: $*"; }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() { # check DESCRIPTION COMMAND...: runs COMMAND, showing its output only when it fails
    local what="$1" out
    shift
    if out="$("$@" 2>&1)"; then pass "$what"; else fail "$what"$'\n'"$out"; fi
}

if ! DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >"$root.log" 2>&1; then
    cat "$root.log"
    rm -f "$root.log"
    fail "cmake --install"
    exit 1
fi
rm -f "$root.log"

# Exactly the game's files: nothing from the tests, benchmarks, tools or static libraries.
expected="$(
    {
        echo "usr/bin/dealbrix"
        # The game server comes with network play (CMake option DEALBRIX_NET).
        [ -x "$build/dealbrix-server" ] && echo "usr/bin/dealbrix-server"
        echo "usr/share/applications/$id.desktop"
        echo "usr/share/doc/dealbrix/copyright"
        for size in "${icon_sizes[@]}"; do echo "usr/share/icons/hicolor/${size}x${size}/apps/$id.png"; done
        echo "usr/share/icons/hicolor/scalable/apps/$id.svg"
        echo "usr/share/man/man6/dealbrix.6"
        echo "usr/share/metainfo/$id.metainfo.xml"
        echo "usr/share/mime/packages/$id.xml"
    } | LC_ALL=C sort
)"
installed="$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)"
if [ "$installed" = "$expected" ]; then
    pass "installed files are exactly the game's $(echo "$installed" | wc -l)"
else
    fail "installed files differ from the expected list (< expected, > installed):"$'\n'"$(diff <(echo "$expected") <(echo "$installed"))"
fi

desktop="$usr/share/applications/$id.desktop"
metainfo="$usr/share/metainfo/$id.metainfo.xml"
check "desktop-file-validate $id.desktop" desktop-file-validate "$desktop"
check "appstreamcli validate --no-net $id.metainfo.xml" appstreamcli validate --no-net "$metainfo"

# The entries point at what is installed: the program, the icon, the file type, this version.
exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "$usr/bin/$exec_name" ] && pass "Exec=$exec_name is installed" || fail "Exec=$exec_name is not in usr/bin"
icon_name="$(sed -n 's/^Icon=//p' "$desktop")"
[ "$icon_name" = "$id" ] && pass "Icon=$icon_name" || fail "Icon=$icon_name, expected $id"
grep -q "^MimeType=.*application/x-dealbrix;" "$desktop" && pass "the desktop entry opens application/x-dealbrix" ||
    fail "the desktop entry does not list application/x-dealbrix"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" &&
    pass "the metadata launches $id.desktop" || fail "the metadata's launchable is not $id.desktop"
newest="$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)"
[ "$newest" = "$version" ] && pass "the newest release in the metadata is $version" ||
    fail "the newest release in the metadata is '$newest', the project is $version"

# The saved-game type: shared-mime-info builds its database from the package file.
mime="$root/mime"
mkdir -p "$mime/packages"
cp "$usr/share/mime/packages/$id.xml" "$mime/packages/"
check "update-mime-database reads $id.xml" update-mime-database "$mime"
grep -qx "application/x-dealbrix:\*\.dealbrix" "$mime/globs" && pass "*.dealbrix is application/x-dealbrix" ||
    fail "*.dealbrix is not application/x-dealbrix in the MIME database"
grep -qx "application/x-dealbrix application/json" "$mime/subclasses" &&
    pass "application/x-dealbrix is a kind of application/json" || fail "application/x-dealbrix is not a sub-class of application/json"

for size in "${icon_sizes[@]}"; do
    png="$usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    kind="$(file -b "$png" 2>&1)"
    case "$kind" in
    "PNG image data, $size x $size,"*) pass "icon ${size}x${size}" ;;
    *) fail "icon ${size}x${size}: $kind" ;;
    esac
done
kind="$(file -b "$usr/share/icons/hicolor/scalable/apps/$id.svg" 2>&1)"
case "$kind" in
SVG*) pass "scalable icon" ;;
*) fail "scalable icon: $kind" ;;
esac

man="$usr/share/man/man6/dealbrix.6"
if [ -f "$man" ]; then
    warnings="$(groff -man -ww -z -t "$man" 2>&1)"
    [ -z "$warnings" ] && pass "man page dealbrix.6 formats without warnings" || fail "man page dealbrix.6:"$'\n'"$warnings"
    grep -q "Dealbrix $version" "$man" && pass "man page names version $version" || fail "man page does not name version $version"
else
    fail "no man page dealbrix.6"
fi

if [ -x "$build/dealbrix-server" ]; then
    answer="$(timeout 20 "$usr/bin/dealbrix-server" --version 2>&1)"
    [ "$answer" = "dealbrix-server $version" ] && pass "installed dealbrix-server --version: $answer" ||
        fail "installed dealbrix-server --version said: $answer"
fi
answer="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$usr/bin/dealbrix" --version 2>&1)"
[ "$answer" = "Dealbrix $version" ] && pass "installed dealbrix --version: $answer" ||
    fail "installed dealbrix --version answered '$answer', expected 'Dealbrix $version'"

if [ "$failures" -eq 0 ]; then echo "PASS"; else echo "$failures checks failed"; fi
[ "$failures" -eq 0 ]
