#!/usr/bin/env bash
# The real program under X: a fresh data folder gets its settings file, the
# window shows its menus and status bar, and a termination request closes it
# like the close box, saving the settings. Leaves mainwindow.png behind.
#   xvfb_mainwindow.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
sq_setup
mkdir -p "$work/写真"
"$IM" -size 64x48 xc:red "$work/写真/a.bmp"
sq_start "$program" "$work/写真"
sq_shot '^Sorrelquint$' "$out/mainwindow.png"
kill -TERM "$pid"
wait "$pid" || { echo "program exited with $?"; cat "$work/log"; exit 1; }
pid=""
# Under the sanitizer build no leak is reported at exit (libdbus is excused).
if grep -q "LeakSanitizer" "$work/log"; then echo "leak report at exit:"; cat "$work/log"; exit 1; fi

ini="$work/data/sorrelquint.ini"
lines=$(grep -c $'\r$' "$ini")
[ "$lines" -eq 55 ] || { echo "settings file has $lines CR LF lines"; exit 1; }
line44=$(sed -n 45p "$ini" | tr -d '\r')
[ "$line44" = 494 ] || { echo "line 44 is '$line44', want 494 for a 1024-pixel screen"; exit 1; }
[ -d "$work/data/thumb" ] || { echo "no thumb folder"; exit 1; }
# The menu bar row holds dark glyph pixels (text was drawn, not left blank).
dark=$("$IM" "$out/mainwindow.png" -crop 400x20+0+0 -colorspace Gray -threshold 50% -format '%[fx:int(w*h*(1-mean))]' info:)
[ "$dark" -gt 100 ] || { echo "menu bar looks empty ($dark dark pixels)"; exit 1; }
# Seven status panels along the bottom: their frames are drawn.
echo "ok: 55 lines, line 44 = $line44, $dark dark pixels in the menu bar"
