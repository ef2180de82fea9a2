#!/usr/bin/env bash
# Batch conversion as a user does it, under X: the program started on a
# folder of BMP pictures, a thumbnail clicked, every picture selected with
# Ctrl+A, "画像" > "JPEGに一括変換" chosen by keyboard; the JPEG files must
# appear next to the BMPs, and the browser lists them. Leaves convert1.png
# (the open menu) and convert2.png (after the run) behind.
#   xvfb_convert.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
command -v identify >/dev/null || { echo "SKIP: identify (ImageMagick) is not installed"; exit 77; }
sq_need xdotool import
sq_setup
mkdir -p "$work/photos"
for i in 1 2 3 4; do
  "$IM" -seed "$i" -size 320x240 plasma:fractal "BMP3:$work/photos/photo_$i.bmp"
done

sq_start "$program" "$work/photos"
# A click on the first thumbnail makes the window active; Ctrl+A is the
# browser's own select-all.
sq_click 177 85
sleep 0.5
xdotool key ctrl+a
sleep 0.5
# フォルダ(F), then Right to 画像; Up twice wraps to the quality submenu at
# the end and reaches JPEGに一括変換 above it.
xdotool key alt+f
sleep 0.5
xdotool key Right
sleep 0.5
xdotool key Up Up
sleep 0.5
import -window root "$out/convert1.png"
xdotool key Return
for _ in $(seq 1 100); do
  [ "$(ls "$work/photos"/*.jpg 2>/dev/null | wc -l)" -ge 4 ] && break
  sleep 0.1
done
sleep 2
import -window root "$out/convert2.png"
for i in 1 2 3 4; do
  f="$work/photos/photo_$i.jpg"
  [ -s "$f" ] || { echo "photo_$i.jpg was not written"; ls -la "$work/photos"; cat "$work/log"; exit 1; }
  size=$(identify -format '%m %wx%h' "$f")
  [ "$size" = "JPEG 320x240" ] || { echo "photo_$i.jpg is '$size', not a 320x240 JPEG"; exit 1; }
  [ -s "$work/photos/photo_$i.bmp" ] || { echo "the source photo_$i.bmp is gone"; exit 1; }
done
# The quality of settings line 54 is in the files' tables (identify
# estimates the quality of the library's own tables exactly).
want=$(sed -n 55p "$work/data/sorrelquint.ini" | tr -d '\r')
q=$(identify -format '%Q' "$work/photos/photo_1.jpg")
[ "$q" = "$want" ] || { echo "photo_1.jpg has quality $q, not line 54's $want"; exit 1; }
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
echo "ok: 4 BMP files converted to 320x240 JPEGs at quality $q from the menu by keyboard"
