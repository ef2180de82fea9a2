#!/usr/bin/env bash
# PNG and WebP pictures as a user meets them, under X: the program started on
# a folder of them lists nothing under the default BMP/JPEG filter, then
# 表示(V) > 拡張子 > すべての画像 is chosen by keyboard and the thumbnails are
# drawn; the choice is kept in settings line 52. Leaves pictures1.png (the
# default filter) and pictures2.png (all pictures) behind.
#   xvfb_pictures.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
"$IM" -list format 2>/dev/null | grep -q WEBP || { echo "SKIP: ImageMagick writes no WebP"; exit 77; }
sq_setup
mkdir -p "$work/photos"
for i in 1 2 3; do
  "$IM" -seed "$i" -size 640x480 plasma:fractal -blur 0x2 "$work/photos/shot_$i.png"
  "$IM" -seed "$((i + 10))" -size 480x480 plasma:fractal -blur 0x2 -quality 80 "$work/photos/web_$i.webp"
done
# A PNG with a transparent disc cut out of it: the engine lays it on white.
"$IM" -seed 7 -size 400x300 plasma:fractal \( -size 400x300 xc:white -fill black -draw "circle 200,150 200,60" \) \
  -alpha off -compose CopyOpacity -composite "PNG32:$work/photos/shot_4_clear.png"

start() {
  sq_start "$program" "$work/photos"
}
quit() {
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
spread() { # standard deviation of the grey levels in a region, 0..1000
  "$IM" "$1" -crop "$2" -colorspace Gray -format '%[fx:int(1000*standard_deviation)]' info:
}

start
sq_shot '^Sorrelquint$' "$out/pictures1.png"
# Inside the first cell (a PNG) and the fifth (a WebP): empty under BMP/JPEG.
s1=$(spread "$out/pictures1.png" "60x40+147+65")
w1=$(spread "$out/pictures1.png" "60x40+495+65")
# 表示(V) > 拡張子 (the seventh item after the six paging items) > すべての画像.
sq_click -74 -11
sleep 0.3
xdotool key alt+v; sleep 0.4
xdotool key Down Down Down Down Down Down Down Right; sleep 0.4
xdotool key Down Down Down Return; sleep 4
sq_shot '^Sorrelquint$' "$out/pictures2.png"
s2=$(spread "$out/pictures2.png" "60x40+147+65")
w2=$(spread "$out/pictures2.png" "60x40+495+65")
[ "$s1" -lt 10 ] && [ "$w1" -lt 10 ] || { echo "cells not empty before (spread $s1, $w1)"; exit 1; }
[ "$s2" -gt 60 ] && [ "$w2" -gt 60 ] ||
  { echo "no PNG or WebP thumbnail after すべての画像 (spread $s2, $w2)"; cat "$work/log"; exit 1; }
quit
[ "$(line 52)" = 3 ] || { echo "すべての画像 not saved: line 52 is '$(line 52)'"; exit 1; }
echo "ok: PNG and WebP cells spread $s1 and $w1 under BMP/JPEG, $s2 and $w2 under すべての画像; line 52 kept as 3"
