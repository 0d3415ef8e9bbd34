#!/usr/bin/env bash
# Installs the build into scratch folders as the packages lay it out (prefix /usr, DESTDIR), one folder
# per package, and checks what a desktop and a system administrator read from them:
#   dealbrix: exactly the game's files, a valid desktop entry and AppStream metadata, a saved-game type
#     that shared-mime-info accepts, every icon at its size, a clean compressed manual page that lists
#     every option, and an installed program that tells its version with no display;
#   dealbrix-server: exactly the server's files, a unit that `systemd-analyze verify` passes and
#     `systemd-analyze security` rates, a default configuration the unit reads, a manual page that
#     lists every option, no window library;
# and, when asked, makes both Debian packages with CPack and holds them to lintian: no error, no warning.
#
#   bash check_install.sh CMAKE CPACK BUILD_DIR VERSION APP_ID SERVER(0|1) PACKAGES(0|1)
set -uo pipefail
cmake="$1"
cpack="$2"
build="$3"
version="$4"
id="$5"
with_server="$6"
with_packages="$7"
icon_sizes=(16 24 32 48 64 128 256 512)
# systemd-analyze's exposure scale is 0..100 (it prints a tenth of it); the unit rates 1.1 "OK" and
# must stay below 1.5.
max_exposure=15

scratch="$(mktemp -d "${TMPDIR:-/tmp}/dealbrix-install.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
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
check_silent() { # check_silent DESCRIPTION COMMAND...: COMMAND must succeed and print nothing
    local what="$1" out
    shift
    if out="$("$@" 2>&1)" && [ -z "$out" ]; then pass "$what"; else fail "$what"$'\n'"$out"; fi
}
files_under() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort); }
same_files() { # same_files WHAT EXPECTED INSTALLED
    if [ "$2" = "$3" ]; then
        pass "$1: exactly the $(echo "$3" | wc -l) expected files"
    else
        fail "$1: files differ from the expected list (< expected, > installed):"$'\n'"$(diff <(echo "$2") <(echo "$3"))"
    fi
}
install_into() { # install_into ROOT [--component NAME]
    local root="$1" log
    shift
    mkdir -p "$root"
    if ! log="$(DESTDIR="$root" "$cmake" --install "$build" --prefix /usr "$@" 2>&1)"; then
        fail "cmake --install $*"$'\n'"$log"
        return 1
    fi
}
# Every option the program's --help names is described on its manual page.
options_documented() { # options_documented PROGRAM MANPAGE.gz
    local help page option missing=()
    help="$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen timeout 20 "$1" --help 2>&1)"
    page="$(zcat "$2" | sed 's/\\-/-/g')"
    for option in $(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
        grep -Eq -- "$option([^a-z0-9-]|\$)" <<<"$page" || missing+=("$option")
    done
    if [ -z "$help" ]; then
        fail "$(basename "$1") --help printed nothing"
    elif [ ${#missing[@]} -eq 0 ]; then
        pass "$(basename "$2") describes every option of $(basename "$1") --help"
    else
        fail "$(basename "$2") does not describe ${missing[*]}"
    fi
}
check_manual() { # check_manual MANPAGE.gz
    local name warnings
    name="$(basename "$1")"
    if [ ! -f "$1" ]; then
        fail "no manual page $name"
        return
    fi
    check "$name is gzip-compressed" gzip -t "$1"
    warnings="$(zcat "$1" | groff -man -ww -z -t 2>&1)"
    [ -z "$warnings" ] && pass "$name formats without warnings" || fail "$name:"$'\n'"$warnings"
    zcat "$1" | grep -q "Dealbrix $version" && pass "$name names version $version" ||
        fail "$name does not name version $version"
}
check_doc() { # check_doc ROOT PACKAGE: the copyright file and the changelog of this version
    local doc="$1/usr/share/doc/$2"
    [ -s "$doc/copyright" ] && pass "$2: copyright" || fail "$2: no copyright file"
    if zcat "$doc/changelog.gz" 2>/dev/null | head -n 1 | grep -q "^dealbrix ($version) "; then
        pass "$2: changelog.gz opens with version $version"
    else
        fail "$2: changelog.gz does not open with version $version"
    fi
}

game_files="$(
    {
        echo "usr/games/dealbrix"
        echo "usr/share/applications/$id.desktop"
        echo "usr/share/doc/dealbrix/changelog.gz"
        echo "usr/share/doc/dealbrix/copyright"
        for size in "${icon_sizes[@]}"; do echo "usr/share/icons/hicolor/${size}x${size}/apps/$id.png"; done
        echo "usr/share/icons/hicolor/scalable/apps/$id.svg"
        echo "usr/share/man/man6/dealbrix.6.gz"
        echo "usr/share/metainfo/$id.metainfo.xml"
        echo "usr/share/mime/packages/$id.xml"
    } | LC_ALL=C sort
)"
server_files=""
if [ "$with_server" = 1 ]; then
    server_files="$(
        printf '%s\n' etc/default/dealbrix-server usr/games/dealbrix-server \
            usr/lib/systemd/system/dealbrix-server.service usr/share/doc/dealbrix-server/changelog.gz \
            usr/share/doc/dealbrix-server/copyright usr/share/man/man6/dealbrix-server.6.gz | LC_ALL=C sort
    )"
fi

# The whole install is the two packages together: a file of neither would be in no package.
install_into "$scratch/all" || exit 1
same_files "whole install" "$(printf '%s\n' "$game_files" "$server_files" | sed '/^$/d' | LC_ALL=C sort)" \
    "$(files_under "$scratch/all")"

# ---- dealbrix: the game --------------------------------------------------------------------------
root="$scratch/game"
usr="$root/usr"
install_into "$root" --component game || exit 1
same_files "dealbrix" "$game_files" "$(files_under "$root")"

desktop="$usr/share/applications/$id.desktop"
metainfo="$usr/share/metainfo/$id.metainfo.xml"
check "desktop-file-validate $id.desktop" desktop-file-validate "$desktop"
check "appstreamcli validate --no-net $id.metainfo.xml" appstreamcli validate --no-net "$metainfo"

# The entries point at what is installed: the program, the icon, the file type, this version.
exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "$usr/games/$exec_name" ] && pass "Exec=$exec_name is installed in /usr/games" ||
    fail "Exec=$exec_name is not in usr/games"
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
mime="$scratch/mime"
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

check_manual "$usr/share/man/man6/dealbrix.6.gz"
options_documented "$usr/games/dealbrix" "$usr/share/man/man6/dealbrix.6.gz"
check_doc "$root" dealbrix

answer="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$usr/games/dealbrix" --version 2>&1)"
[ "$answer" = "Dealbrix $version" ] && pass "installed dealbrix --version: $answer" ||
    fail "installed dealbrix --version answered '$answer', expected 'Dealbrix $version'"

# ---- dealbrix-server: the game server ------------------------------------------------------------
if [ "$with_server" = 1 ]; then
    root="$scratch/server"
    usr="$root/usr"
    install_into "$root" --component server || exit 1
    same_files "dealbrix-server" "$server_files" "$(files_under "$root")"
    server="$usr/games/dealbrix-server"
    unit="$usr/lib/systemd/system/dealbrix-server.service"
    config="$root/etc/default/dealbrix-server"

    # A server needs no display: no window, widget or GUI library at all.
    needed="$(readelf -d "$server" 2>&1 | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')"
    if [ -z "$needed" ]; then
        fail "readelf found no libraries in dealbrix-server"
    elif grep -Eq 'Qt6(Gui|Widgets|OpenGL)|libX|libGL|libxcb' <<<"$needed"; then
        fail "dealbrix-server links a window library:"$'\n'"$needed"
    else
        pass "dealbrix-server links no window library ($(echo "$needed" | grep -c Qt6) Qt libraries)"
    fi
    answer="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$server" --version 2>&1)"
    case "$answer" in
    *"$version"*) pass "installed dealbrix-server --version: $answer" ;;
    *) fail "installed dealbrix-server --version answered '$answer', expected version $version" ;;
    esac
    check_manual "$usr/share/man/man6/dealbrix-server.6.gz"
    options_documented "$server" "$usr/share/man/man6/dealbrix-server.6.gz"
    check_doc "$root" dealbrix-server

    # The unit starts the installed program with the installed configuration, and the server takes
    # its command line: the unit's own arguments (the state directory for --data when the server keeps
    # rooms) and the default options. --help answers only when every option before it was understood.
    grep -qx "EnvironmentFile=-/etc/default/dealbrix-server" "$unit" && pass "the unit reads /etc/default/dealbrix-server" ||
        fail "the unit does not read /etc/default/dealbrix-server"
    grep -qx "StateDirectory=dealbrix-server" "$unit" && pass "StateDirectory=dealbrix-server" ||
        fail "the unit has no StateDirectory=dealbrix-server"
    options="$(env -i sh -c '. "$1" && printf %s "$DEALBRIX_SERVER_OPTIONS"' sh "$config" 2>&1)"
    case "$options" in
    --listen\ 127.0.0.1:*) pass "the default configuration listens on this machine only: $options" ;;
    *) fail "the default configuration's DEALBRIX_SERVER_OPTIONS is '$options'" ;;
    esac
    exec_start="$(sed -n 's/^ExecStart=//p' "$unit")"
    read -r -a command <<<"${exec_start//%S//var/lib}"
    if [ "${command[0]}" != /usr/games/dealbrix-server ]; then
        fail "ExecStart runs '${command[0]}', not /usr/games/dealbrix-server"
    else
        pass "ExecStart runs /usr/games/dealbrix-server"
        arguments=()
        for word in "${command[@]:1}"; do
            # shellcheck disable=SC2206 # the unit splits the unbraced variable into words, as here
            if [ "$word" = '$DEALBRIX_SERVER_OPTIONS' ]; then arguments+=($options); else arguments+=("$word"); fi
        done
        if out="$(timeout 20 "$server" "${arguments[@]}" --help 2>&1)"; then
            pass "the server takes the unit's command line: ${arguments[*]}"
        else
            fail "the server refuses the unit's command line ${arguments[*]}:"$'\n'"$out"
        fi
        if "$server" --help 2>&1 | grep -q -- '--data'; then
            [[ " ${arguments[*]} " == *" --data /var/lib/dealbrix-server "* ]] &&
                pass "the unit keeps the rooms in its state directory (--data /var/lib/dealbrix-server)" ||
                fail "the server keeps rooms with --data, but the unit does not pass --data %S/dealbrix-server"
        fi
    fi

    # systemd-analyze reads the unit as systemd would, inside a copy of this system's standard targets
    # (it follows the unit's dependencies), with the manual page the unit's Documentation= names.
    verify_root="$scratch/verify"
    mkdir -p "$verify_root/usr/lib/systemd/system"
    cp -r "$usr" "$verify_root/"
    cp /lib/systemd/system/*.target /lib/systemd/system/*.slice "$verify_root/usr/lib/systemd/system/"
    check_silent "systemd-analyze verify dealbrix-server.service" env MANPATH="$verify_root/usr/share/man" \
        systemd-analyze verify --root="$verify_root" /usr/lib/systemd/system/dealbrix-server.service
    rating="$(systemd-analyze security --offline=yes --root="$verify_root" --threshold="$max_exposure" \
        /usr/lib/systemd/system/dealbrix-server.service 2>&1)"
    status=$?
    overall="$(grep -o 'Overall exposure level.*' <<<"$rating")"
    if [ "$status" -eq 0 ] && [ -n "$overall" ]; then
        pass "systemd-analyze security: $overall"
    else
        fail "systemd-analyze security (threshold $max_exposure):"$'\n'"$rating"
    fi
fi

# ---- the Debian packages -------------------------------------------------------------------------
if [ "$with_packages" = 1 ]; then
    debs="$scratch/debs"
    if ! log="$("$cpack" -G DEB -B "$debs" --config "$build/CPackConfig.cmake" 2>&1)"; then
        fail "cpack -G DEB"$'\n'"$log"
    else
        packages=(dealbrix)
        [ "$with_server" = 1 ] && packages+=(dealbrix-server)
        for package in "${packages[@]}"; do
            deb="$debs/${package}_${version}_$(dpkg --print-architecture).deb"
            if [ ! -f "$deb" ]; then
                fail "cpack made no $(basename "$deb"):"$'\n'"$(ls "$debs")"
                continue
            fi
            if [ "$package" = dealbrix ]; then expected="$game_files"; else expected="$server_files"; fi
            same_files "$(basename "$deb")" "$expected" \
                "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | LC_ALL=C sort)"
            # --fail-on: any error or warning fails; lintian's information tags are shown, not failed.
            lintian --fail-on error,warning --display-info "$deb" >"$scratch/lintian.log" 2>&1
            lintian_status=$?
            tags="$(grep -v '^running with root privileges' "$scratch/lintian.log")"
            if [ "$lintian_status" -eq 0 ] && ! grep -q '^[EW]: ' <<<"$tags"; then
                pass "lintian $(basename "$deb"): no error, no warning$([ -n "$tags" ] && printf '\n%s' "$tags")"
            else
                fail "lintian $(basename "$deb") (status $lintian_status):"$'\n'"$tags"
            fi
        done
        server_deb="$debs/dealbrix-server_${version}_$(dpkg --print-architecture).deb"
        if [ "$with_server" = 1 ] && [ -f "$server_deb" ]; then
            depends="$(dpkg-deb -f "$server_deb" Depends)"
            if grep -Eq 'libqt6(gui|widgets|opengl)' <<<"$depends"; then
                fail "dealbrix-server depends on a window library: $depends"
            else
                pass "dealbrix-server depends on no window library: $depends"
            fi
            control="$scratch/control"
            dpkg-deb -e "$server_deb" "$control"
            grep -qx /etc/default/dealbrix-server "$control/conffiles" 2>/dev/null &&
                pass "/etc/default/dealbrix-server is a conffile" || fail "/etc/default/dealbrix-server is not a conffile"
            for script in postinst prerm postrm; do
                check "dealbrix-server $script is valid sh" sh -n "$control/$script"
            done
        fi
    fi
fi

if [ "$failures" -eq 0 ]; then echo "PASS"; else echo "$failures checks failed"; fi
[ "$failures" -eq 0 ]
