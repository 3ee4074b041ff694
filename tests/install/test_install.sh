#!/usr/bin/env bash
# Installs the build into a temporary folder (DESTDIR) and checks it as the desktop would read it:
# the files and only those, entry and metainfo valid, icons, manual pages, MIME type and default.
#
#   test_install.sh BUILD-DIR SHARED-DIR VERSION APP-ID
set -uo pipefail

build=$1 shared=$2 version=$3 app_id=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in desktop-file-validate appstreamcli man update-mime-database update-desktop-database \
    xdg-mime; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/build.sh test installs it)"
done
[ $failures -eq 0 ] || exit 1

DESTDIR=$work/root cmake --install "$build" --prefix /usr >"$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install failed"; exit 1; }
usr=$work/root/usr

# Exactly these files: nothing of the tests, benchmarks or static libraries creeps in.
expected=(
    bin/torvale bin/torvale-cli
    "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml"
    share/mime/packages/torvale-mod.xml
    share/man/man1/torvale.1 share/man/man1/torvale-cli.1
    share/icons/hicolor/scalable/apps/torvale.svg
)
sizes=(16 32 48 64 128 256)
for size in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x$size/apps/torvale.png")
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . -type f -printf '%P\n' | sort) ||
    fail "the installed files differ from the list above (< expected, > installed)"

desktop-file-validate "$usr/share/applications/$app_id.desktop" || fail "desktop entry rejected"
appstreamcli validate --no-net "$usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "metainfo rejected"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in "${sizes[@]}"; do
    png=$usr/share/icons/hicolor/${size}x$size/apps/torvale.png
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{print $1*2^24+$2*2^16+$3*2^8+$4, $5*2^24+$6*2^16+$7*2^8+$8}')
    [ "$w x $h" = "$size x $size" ] || fail "$png is $w x $h"
done
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/torvale.svg" || fail "torvale.svg is no SVG"

# Each manual page renders without a warning and says every line of --help (whitespace aside:
# the page fills and indents), the usage line and the section headings excepted.
squeeze() { tr -s ' \n\t' '   '; }
for program in torvale torvale-cli; do
    [ "$("$usr/bin/$program" --version)" = "$program $version" ] ||
        fail "$program --version does not say $program $version"
    page=$usr/share/man/man1/$program.1
    MANWIDTH=80 man --warnings -l "$page" >"$work/page.txt" 2>"$work/warnings.txt" ||
        fail "man -l $page failed"
    [ ! -s "$work/warnings.txt" ] || { cat "$work/warnings.txt"; fail "$page: troff warnings"; }
    rendered=$(squeeze <"$work/page.txt")
    grep -q "Torvale $version" "$work/page.txt" || fail "$page does not carry the version"
    "$usr/bin/$program" --help | tail -n +2 | grep -v '^[A-Za-z].*:$' | while IFS= read -r line; do
        words=$(printf '%s' "$line" | squeeze | sed 's/^ //; s/ $//')
        [ -z "$words" ] || [[ $rendered == *"$words"* ]] ||
            echo "FAIL: $page lacks: $words" >&2
    done 2>&1 | tee "$work/missing.txt" >&2
    [ ! -s "$work/missing.txt" ] || failures=$((failures + 1))
done

# The desktop as it would look with the package installed: only the temporary home and the
# installed share folder ahead of the system's, no desktop session to ask.
mkdir -p "$work/home/.config" "$work/home/.local/share" "$work/xdg"
desktop_env=(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION
    -u GNOME_DESKTOP_SESSION_ID -u XDG_MENU_PREFIX
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
    XDG_CONFIG_DIRS="$work/xdg" XDG_DATA_DIRS="$usr/share:/usr/share")
"${desktop_env[@]}" update-mime-database "$usr/share/mime" || fail "update-mime-database failed"
update-desktop-database "$usr/share/applications" || fail "update-desktop-database failed"
for mod in "$shared"/realmods/*.mod; do
    head -c 4 "$mod" | grep -q '<id>' || continue # a mod by name only: the music type may win
    type=$("${desktop_env[@]}" xdg-mime query filetype "$mod")
    [ "$type" = text/x-yabb-mod ] || fail "xdg-mime query filetype $mod answers '$type'"
done
default=$("${desktop_env[@]}" xdg-mime query default text/x-yabb-mod)
[ "$default" = "$app_id.desktop" ] || fail "xdg-mime query default answers '$default'"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed files, entry, metainfo, icons, manual pages and MIME type are right"
