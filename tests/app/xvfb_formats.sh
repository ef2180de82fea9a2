#!/usr/bin/env bash
# HEIC, AVIF, JPEG XL, a DNG, an MP4 and a Display P3 JPEG as a user meets
# them, under X: the program started on a folder of them, 表示(V) > 拡張子 >
# すべての画像 chosen by keyboard, every cell drawn as a picture; then the DNG
# opened in the slide view by a double-click on its cell. Leaves
# formats_grid.png and formats_slide.png behind.
#   xvfb_formats.sh PROGRAM WRITER OUTDIR   (run under with-xvfb.sh 1024x768)
set -eu
program=$1; writer=$2; out=$3
mkdir -p "$out"
IM=convert; [ -x /usr/bin/convert ] && IM=/usr/bin/convert
command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit 77; }
command -v ffmpeg >/dev/null || { echo "SKIP: ffmpeg is not installed"; exit 77; }
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/data" "$work/photos"
QT_QPA_PLATFORM=offscreen "$writer" "$work/photos" || { echo "the photographs could not be written"; exit 1; }
count=$(ls "$work/photos" | wc -l)
[ "$count" -ge 5 ] || { echo "only $count files written"; exit 1; }

SORRELQUINT_DATA_DIR="$work/data" "$program" "$work/photos" >>"$work/log" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/data/sorrelquint.ini" ] && xdotool search --name Sorrelquint >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 3
spread() { # standard deviation of the grey levels in a region, 0..1000
  "$IM" "$1" -crop "$2" -colorspace Gray -format '%[fx:int(1000*standard_deviation)]' info:
}
# 表示(V) > 拡張子 > すべての画像.
xdotool mousemove 950 757 click 1
sleep 0.3
xdotool key alt+v; sleep 0.4
xdotool key Down Down Down Down Down Down Down Right; sleep 0.4
xdotool key Down Down Down Return
# The cells of the first row (80 x 60 pictures, 87 pixels apart), looked at
# until every one is drawn (the loader works in the background) or 20 s pass.
for _ in $(seq 1 10); do
  sleep 2
  import -window root "$out/formats_grid.png"
  drawn=0; spreads=""
  for i in $(seq 0 $((count - 1))); do
    s=$(spread "$out/formats_grid.png" "60x40+$((147 + 87 * i))+65")
    [ "$s" -gt 40 ] && drawn=$((drawn + 1))
    spreads="$spreads $s"
  done
  [ "$drawn" -eq "$count" ] && break
done
echo "cell spreads:$spreads"
# The DNG (the fourth cell) opened by a double-click.
xdotool mousemove $((177 + 87 * 3)) 85 click --repeat 2 --delay 80 1; sleep 6
import -window root "$out/formats_slide.png"
slide=$(spread "$out/formats_slide.png" "400x300+300+200")
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
[ "$drawn" -eq "$count" ] || { echo "only $drawn of $count cells drawn"; cat "$work/log"; exit 1; }
[ "$slide" -gt 40 ] || { echo "the slide view shows no picture (spread $slide)"; cat "$work/log"; exit 1; }
echo "ok: $count cells drawn under すべての画像; slide view spread $slide"
