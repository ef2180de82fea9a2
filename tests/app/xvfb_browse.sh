#!/usr/bin/env bash
# The program as a user meets it, under X: started on a folder of pictures
# with a fresh data folder, a thumbnail clicked (status panels and preview
# drawn), the sort and the thumbnail size changed from the menus by keyboard,
# quit through "終了(&C)", started again with the choices restored. Leaves
# browse1.png (after the click), browse2.png (after the changes) and
# browse3.png (second start) behind.
#   xvfb_browse.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
sq_setup
mkdir -p "$work/photos"
for i in 1 2 3 4 5 6 7 8; do
  "$IM" -seed "$i" -size 640x480 plasma:fractal -blur 0x2 "$work/photos/photo_$i.jpg"
done

start() {
  sq_start "$program" "$work/photos"
}
quit() {
  # フォルダ(F) > 終了(C), by keyboard as a user would. Without a window
  # manager the window becomes active on a click: the status bar's end.
  sq_click -74 -11
  sleep 0.3
  xdotool key alt+f
  sleep 0.5
  xdotool key c
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then echo "the program did not quit through 終了(&C)"; cat "$work/log"; exit 1; fi
  wait "$pid" || { echo "program exited with $?"; cat "$work/log"; exit 1; }
  pid=""
}
line() { sed -n "$(($1 + 1))p" "$work/data/sorrelquint.ini" | tr -d '\r'; }
dark() { # dark pixels in a region of a screenshot: WxH+X+Y
  "$IM" "$1" -crop "$2" -colorspace Gray -threshold 50% -format '%[fx:int(w*h*(1-mean))]' info:
}
spread() { # standard deviation of the grey levels in a region, 0..1000
  "$IM" "$1" -crop "$2" -colorspace Gray -format '%[fx:int(1000*standard_deviation)]' info:
}

start
# The first thumbnail: right of the 128-pixel folder pane, below the tool row.
sq_click 177 85
sleep 1.5
sq_shot '^Sorrelquint$' "$out/browse1.png"
status_y=$(($("$IM" "$out/browse1.png" -format %h info:) - 20))
# Panels 2..6 (from x = 284) carry text after the click; the preview shows a picture.
d=$(dark "$out/browse1.png" "500x16+284+$status_y")
[ "$d" -gt 40 ] || { echo "status panels 2-6 look empty after the click ($d dark pixels)"; exit 1; }
s=$(spread "$out/browse1.png" "600x300+300+350")
[ "$s" -gt 30 ] || { echo "the preview shows no picture (spread $s)"; exit 1; }

# 表示(V) > 並べ替え(I) > 日付; 表示(V) > 縮小画像サイズ > 40x30.
xdotool key alt+v; sleep 0.4; xdotool key i; sleep 0.4
xdotool key Down Down Return; sleep 1
xdotool key alt+v; sleep 0.4
xdotool key Down Down Down Down Down Down Right; sleep 0.4
xdotool key Return; sleep 2
sq_shot '^Sorrelquint$' "$out/browse2.png"
quit
[ "$(line 1)" = 2 ] || { echo "sort by date not saved: line 1 is '$(line 1)'"; exit 1; }
[ "$(line 3)" = 0 ] || { echo "size 40x30 not saved: line 3 is '$(line 3)'"; exit 1; }

start
sq_shot '^Sorrelquint$' "$out/browse3.png"
quit
[ "$(line 1)" = 2 ] && [ "$(line 3)" = 0 ] || { echo "the choices were not kept by the second run"; exit 1; }
echo "ok: click drew $d status pixels, preview spread $s, sort date and size 40x30 kept across runs"
