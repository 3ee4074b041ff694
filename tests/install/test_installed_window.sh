#!/usr/bin/env bash
# Starts the installed editor under Xvfb as the desktop would, through its desktop entry, as a
# user who cannot write the program's folder; checks that it opens the mod and where it keeps
# its settings. Needs root (to run as nobody), Xvfb, xdotool and gio; skips (77) without them,
# or fails when CI is set.
#
#   test_installed_window.sh BUILD-DIR SHARED-DIR APP-ID [SCREENSHOT.png]
set -uo pipefail

build=$1 shared=$2 app_id=$3 shot=${4:-}
# Under CI (CI set) everything is installed, and a skip would hide that this never ran.
skip() {
    if [ -n "${CI:-}" ]; then
        echo "failed: $1, and CI is set, where nothing may be skipped"
        exit 1
    fi
    echo "skipped: $1"
    exit 77
}
for tool in Xvfb xdotool gio runuser; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
[ "$(id -u)" -eq 0 ] || skip "not root, so cannot run as nobody"

work=$(mktemp -d)
chmod 755 "$work"
xvfb= editor=
cleanup() {
    [ -n "$editor" ] && kill "$editor" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null || { echo "FAIL: install" >&2; exit 1; }
usr=$work/root/usr
home=$work/home
mkdir -p "$home"
mod=$home/apache24_fix_2.mod
cp "$shared/realmods/apache24_fix_2.mod" "$mod"
chown -R nobody "$home"
runuser -u nobody -- test -w "$usr/bin" && { echo "FAIL: nobody can write $usr/bin" >&2; exit 1; }

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

# The desktop's own launcher reads the entry's Exec line and puts the file in for %f.
runuser -u nobody -- env -i PATH="$usr/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" HOME="$home" \
    XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_DATA_DIRS="$usr/share:/usr/share" XDG_RUNTIME_DIR="$home" \
    gio launch "$usr/share/applications/$app_id.desktop" "$mod" 2>"$work/launch.log" ||
    { cat "$work/launch.log"; fail "gio launch failed"; }

window=
for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name "^Torvale - .*apache24_fix_2\.mod" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    fail "no window \"Torvale - ...apache24_fix_2.mod\" within 30 s: $(xdotool search --name . getwindowname %@ 2>/dev/null | tr '\n' '|')"
    exit 1
fi
editor=$(xdotool getwindowpid "$window")
[ "$(ps -o user= -p "$editor")" = nobody ] || fail "the editor runs as $(ps -o user= -p "$editor")"
sleep 1 # let it paint before the picture
[ -z "$shot" ] || import -window root "$shot"

# Quit through File > Exit, as a user would, so that it writes its settings.
xdotool windowfocus --sync "$window" key --delay 100 alt+f x
for _ in $(seq 300); do kill -0 "$editor" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$editor" 2>/dev/null; then
    fail "the editor is still running 30 s after File > Exit"
else
    editor=
fi

[ -e "$usr/bin/torvale.ini" ] && fail "settings written beside the program"
grep -q '^\[General\]' "$home/.config/torvale/torvale.ini" 2>/dev/null ||
    fail "no settings in \$XDG_CONFIG_HOME/torvale/torvale.ini"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "the installed editor opened the mod and kept its settings in \$XDG_CONFIG_HOME/torvale"
