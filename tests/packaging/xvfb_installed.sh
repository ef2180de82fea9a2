#!/usr/bin/env bash
# The installed program as "Open with" starts it, under X: the build tree is
# installed into a temporary DESTDIR, and the desktop entry's Exec line is
# run with a picture's path for %f, with a fresh home and no data folder set.
# The picture's folder opens with its thumbnail selected and the picture in
# the preview; the settings go to $XDG_CONFIG_HOME/sorrelquint/, nothing into
# the installed bin folder (writable here, as the tests run as root). Leaves
# installed.png behind.
#   xvfb_installed.sh BUILD_DIR OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
build=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_setup
fail() { echo "FAIL: $*"; [ -f "$work/log" ] && cat "$work/log"; exit 1; }

DESTDIR="$work/dest" cmake --install "$build" --prefix /usr/local >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install"; }
bin="$work/dest/usr/local/bin"
entry="$work/dest/usr/local/share/applications/sorrelquint.desktop"

# Six pictures; the fourth, the one opened, is red with a white disc.
mkdir -p "$work/pics" "$work/home/config"
for i in 1 2 3 5 6; do
  "$IM" -seed "$i" -size 640x480 plasma:fractal "$work/pics/photo_$i.jpg"
done
"$IM" -size 640x480 xc:'#e02020' -fill white -draw "circle 320,240 320,140" "$work/pics/photo_4.jpg"

exec_line=$(sed -n 's/^Exec=//p' "$entry")
command=${exec_line//%f/$work/pics/photo_4.jpg}
echo "Exec=$exec_line -> $command"
# The Exec line names the program as the menu would find it, on PATH.
env -u SORRELQUINT_DATA_DIR PATH="$bin:$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" \
  sh -c "exec $command" >"$work/log" 2>&1 &
pid=$!
ini="$work/home/config/sorrelquint/sorrelquint.ini"
for _ in $(seq 1 150); do
  [ -s "$ini" ] && command -v xdotool >/dev/null && xdotool search --name Sorrelquint >/dev/null 2>&1 && break
  [ -s "$ini" ] && ! command -v xdotool >/dev/null && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended at start"
  sleep 0.1
done
[ -s "$ini" ] || fail "no settings file in \$XDG_CONFIG_HOME/sorrelquint/"
sleep 3
sq_shot '^Sorrelquint$' "$out/installed.png"
kill -TERM "$pid"
wait "$pid" || fail "the program exited with $?"
pid=""

# The data folder of the installed program.
[ "$(grep -c $'\r$' "$ini")" -eq 55 ] || fail "the settings file has not 55 lines"
[ -d "$work/home/config/sorrelquint/thumb" ] || fail "no thumbnail cache folder"
[ "$(ls -A "$bin")" = "$(printf 'sorrelquint\nsqimg')" ] || fail "files left in the installed bin folder: $(ls -A "$bin")"

# The preview (below the thumbnails, right of the folder pane) shows the
# picture: the white disc in its middle, red around it.
shot="$out/installed.png"
pixel() { "$IM" "$shot" -format "%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]" -crop "1x1+$1+$2" info:; }
centre=$(pixel 578 490)
left=$(pixel 300 490)
case "$centre" in 2[4-5]?,2[4-5]?,2[4-5]?) ;; *) fail "preview centre is $centre, not the white disc" ;; esac
case "$left" in 2[0-3]?,[0-4]?,[0-4]?|2[0-3]?,[0-9],[0-9]) ;; *) fail "preview left is $left, not the red picture" ;; esac
# The fourth thumbnail is the selected one: its caption is drawn highlighted
# while the others stay on the black background.
bright() { "$IM" "$shot" -crop "$1" -colorspace Gray -format '%[fx:int(1000*mean)]' info:; }
cell=87; x0=136
sel=$(bright "70x12+$((x0 + 3 * cell + 6))+123")
other=$(bright "70x12+$((x0 + 2 * cell + 6))+123")
# Under a window manager the window may start inactive (seen under mutter):
# the inactive highlight is paler.
margin=200; [ -n "${SQ_X_WM:-}" ] && margin=80
[ "$sel" -gt $((other + margin)) ] || fail "the fourth caption is not highlighted (brightness $sel against $other)"
echo "ok: Exec line run from the installed entry; preview $centre within $left; caption $sel against $other; data in \$XDG_CONFIG_HOME/sorrelquint/"
