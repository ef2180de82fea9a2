#!/usr/bin/env bash
# HEIC, AVIF, JPEG XL, a DNG, an MP4 and a Display P3 JPEG as a user meets
# them, under X: the program started on a folder of them, 表示(V) > 拡張子 >
# すべての画像 chosen by keyboard, every cell drawn as a picture; then the DNG
# opened in the slide view by a double-click on its cell. Leaves
# formats_grid.png and formats_slide.png behind.
#   xvfb_formats.sh PROGRAM WRITER OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; writer=$2; out=$3
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import ffmpeg
sq_setup
mkdir -p "$work/photos"
QT_QPA_PLATFORM=offscreen "$writer" "$work/photos" || { echo "the photographs could not be written"; exit 1; }
count=$(ls "$work/photos" | wc -l)
[ "$count" -ge 5 ] || { echo "only $count files written"; exit 1; }
spread() { # standard deviation of the grey levels in a region, 0..1000
  "$IM" "$1" -crop "$2" -colorspace Gray -format '%[fx:int(1000*standard_deviation)]' info:
}

sq_start "$program" "$work/photos"
# 表示(V) > 拡張子 > すべての画像.
sq_click -74 -11
sleep 0.3
xdotool key alt+v; sleep 0.4
xdotool key Down Down Down Down Down Down Down Right; sleep 0.4
xdotool key Down Down Down Return
# 表示(V) > 並べ替え(I) > 名前: the cells in the order of the names (the
# browser starts sorted by file type, which puts the DNG first).
sleep 0.4
xdotool key alt+v; sleep 0.4
xdotool key i; sleep 0.4
xdotool key Return
# The cells of the first row (80 x 60 pictures, 87 pixels apart), looked at
# until every one is drawn (the loader works in the background) or 20 s pass.
for _ in $(seq 1 10); do
  sleep 2
  sq_shot '^Sorrelquint$' "$out/formats_grid.png"
  drawn=0; spreads=""
  for i in $(seq 0 $((count - 1))); do
    s=$(spread "$out/formats_grid.png" "60x40+$((147 + 87 * i))+65")
    [ "$s" -gt 40 ] && drawn=$((drawn + 1))
    spreads="$spreads $s"
  done
  [ "$drawn" -eq "$count" ] && break
done
echo "cell spreads:$spreads"
# The DNG (the fourth cell by name) opened by a double-click.
sq_main
# shellcheck disable=SC2046
xdotool mousemove $(sq_at $((177 + 87 * 3)) 85) click --repeat 2 --delay 80 1
[ -n "$(sq_window 'スライドビュー/Sorrelquint')" ] || { echo "the slide view did not open"; cat "$work/log"; exit 1; }
sleep 4
sq_shot 'スライドビュー/Sorrelquint' "$out/formats_slide.png"
slide=$(spread "$out/formats_slide.png" "400x300+300+200")
[ "$drawn" -eq "$count" ] || { echo "only $drawn of $count cells drawn"; cat "$work/log"; exit 1; }
[ "$slide" -gt 40 ] || { echo "the slide view shows no picture (spread $slide)"; cat "$work/log"; exit 1; }
echo "ok: $count cells drawn under すべての画像; slide view spread $slide"
