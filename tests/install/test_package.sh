#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks it: its fields and files, the
# programs it unpacks, and that dpkg installs and removes it with the desktop's caches refreshed.
#
#   test_package.sh BUILD-DIR SHARED-DIR VERSION
set -uo pipefail

build=$1 shared=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "FAIL: cpack failed" >&2; exit 1; }
deb=$work/out/torvale_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb" >&2; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = torvale ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -gt 1 ] || fail "no long Description"
for library in libc6 libstdc++6 libqt6core6 libqt6widgets6; do
    [[ $(field Depends) == *"$library "* ]] || fail "Depends lacks $library: $(field Depends)"
done

# Every file under /usr, the programs stripped of their debugging sections.
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
grep -qv '^\./usr/' "$work/contents" && fail "files outside /usr: $(grep -v '^\./usr/' "$work/contents")"
dpkg -x "$deb" "$work/unpacked"
for program in torvale torvale-cli; do
    grep -qx "./usr/bin/$program" "$work/contents" || fail "no /usr/bin/$program"
    readelf -S "$work/unpacked/usr/bin/$program" | grep -q '\.debug_info' &&
        fail "$program is not stripped"
done

cli=$work/unpacked/usr/bin/torvale-cli
[ "$("$cli" --version)" = "torvale-cli $version" ] || fail "torvale-cli --version: $("$cli" --version)"
mod=$shared/realmods/apache24_fix_2.mod
"$cli" dump "$mod" >"$work/dump.json" || fail "torvale-cli dump $mod exits $?"
grep -q '"complete": *true' "$work/dump.json" || fail "torvale-cli dump: $(head -c 200 "$work/dump.json")"

# dpkg itself, into an empty root of its own: it must accept the control files (an unknown
# trigger directive would stop the install), and installing and removing must set off the
# triggers that shared-mime-info, desktop-file-utils and the icon theme listen to.
if [ "$(id -u)" -eq 0 ]; then
    root=$work/dpkg-root
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$work/watcher/DEBIAN"
    touch "$root/var/lib/dpkg/status"
    printf '%s\n' 'Package: cache-watcher' 'Version: 1' 'Architecture: all' \
        'Maintainer: test <test@localhost>' 'Description: records triggers' \
        >"$work/watcher/DEBIAN/control"
    printf 'interest-noawait %s\n' /usr/share/mime/packages /usr/share/applications \
        /usr/share/icons/hicolor >"$work/watcher/DEBIAN/triggers"
    printf '#!/bin/sh\n[ "$1" = triggered ] && echo "$2" | tr " " "\\n" >>"%s"\nexit 0\n' \
        "$work/triggered" >"$work/watcher/DEBIAN/postinst"
    chmod 755 "$work/watcher/DEBIAN/postinst"
    dpkg-deb -b "$work/watcher" "$work/watcher.deb" >/dev/null
    dpkg_=(dpkg --root="$root" --force-script-chrootless --force-depends)
    expected=$(printf '%s\n' /usr/share/applications /usr/share/icons/hicolor \
        /usr/share/mime/packages)
    "${dpkg_[@]}" -i "$work/watcher.deb" >"$work/dpkg.log" 2>&1 || fail "the watcher does not install"
    for step in "-i $deb" "-r torvale"; do
        rm -f "$work/triggered"
        # shellcheck disable=SC2086 # the step is two words
        "${dpkg_[@]}" $step >>"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg $step"; }
        [ "$(sort -u "$work/triggered" 2>/dev/null)" = "$expected" ] ||
            fail "dpkg $step set off: $(cat "$work/triggered" 2>/dev/null)"
    done
    [ -e "$root/usr/bin/torvale" ] && fail "dpkg -r left /usr/bin/torvale"
else
    echo "not root: dpkg's own install into an empty root is not tried"
fi

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "$(basename "$deb"): fields, files, unpacked programs and dpkg install and removal are right"
