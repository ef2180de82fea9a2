#!/usr/bin/env bash
# A capture of the whole screen area as a user makes one, under X: the
# program started on a folder of four photographs, a double-click opens the
# slide view, "4面" and then ファイル > 画面を保存 > 全体 are chosen by
# keyboard, and a file name is typed into the save dialog. The BMP written
# must be the four screens side by side, two rows, each quarter showing its
# photograph. Leaves capture1.png (the save dialog over the slide view),
# capture2.png (after saving) and whole.png (the file written) behind.
#   xvfb_capture.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
command -v identify >/dev/null || { echo "SKIP: ImageMagick is not installed"; exit 77; }
sq_setup
mkdir -p "$work/photos"

# Four photographs, each a textured picture in a colour of its own.
colours=(red lime blue yellow)
for i in 1 2 3 4; do
  "$IM" -size 640x480 "xc:${colours[$((i - 1))]}" \
    \( -size 640x480 -seed "$i" plasma:fractal -blur 0x4 -colorspace Gray \) \
    -compose multiply -composite "$work/photos/photo_$i.jpg"
done
mean() { "$IM" "$1" -crop "$2" +repage -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]' info:; }
declare -a ref
for i in 1 2 3 4; do ref[$i]=$(mean "$work/photos/photo_$i.jpg" 120x90+260+195); done
nearest() {
  read -r r g b < <(mean "$1" "$2")
  best=0; bestd=999999
  for i in 1 2 3 4; do
    read -r R G B <<<"${ref[$i]}"
    d=$(( (r - R) * (r - R) + (g - G) * (g - G) + (b - B) * (b - B) ))
    [ "$d" -lt "$bestd" ] && { best=$i; bestd=$d; }
  done
  echo "$best"
}

sq_start "$program" "$work/photos"
sq_click 177 85
sleep 0.5
xdotool click --repeat 2 --delay 80 1
sleep 2
xdotool search --name 'スライドビュー/Sorrelquint' >/dev/null || { echo "the slide view did not open"; cat "$work/log"; exit 1; }
# Active by a click on the info line; ウインドウ > 4面.
sq_click 1000 40 'スライドビュー/Sorrelquint'
sleep 0.5
xdotool key alt
sleep 0.4
xdotool key Right Right Right Right
sleep 0.3
xdotool key Down
sleep 0.4
xdotool key Down Down Return
sleep 2
# ファイル > 画面を保存 (the sixth item) > 全体 (the fifth).
xdotool key alt
sleep 0.4
xdotool key Down
sleep 0.4
xdotool key Down Down Down Down Down
sleep 0.3
xdotool key Right
sleep 0.4
xdotool key Down Down Down Down
sleep 0.3
xdotool key Return
sleep 2
import -window root "$out/capture1.png"
xdotool type --delay 20 "$work/whole.bmp"
sleep 0.3
xdotool key Return
for _ in $(seq 1 50); do [ -s "$work/whole.bmp" ] && break; sleep 0.1; done
sleep 1
import -window root "$out/capture2.png"
[ -s "$work/whole.bmp" ] || { echo "no file was written"; cat "$work/log"; exit 1; }
"$IM" "$work/whole.bmp" "$out/whole.png"

read -r w h < <(identify -format '%w %h\n' "$work/whole.bmp")
echo "whole.bmp: ${w}x${h}"
# Four screens of about 510 x 350 under a 1024 x 768 screen: the composite
# is the two rows of screens without the menu, the toolbar or the splitters.
[ "$w" -ge 1000 ] && [ "$w" -le 1024 ] && [ "$h" -ge 600 ] && [ "$h" -le 720 ] ||
  { echo "unexpected size ${w}x${h}"; exit 1; }
qw=$((w / 4)); qh=$((h / 4))
got=()
for c in "$qw $qh" "$((3 * qw)) $qh" "$qw $((3 * qh))" "$((3 * qw)) $((3 * qh))"; do
  read -r x y <<<"$c"
  got+=("$(nearest "$work/whole.bmp" "40x40+$((x - 20))+$((y - 20))")")
done
[ "${got[*]}" = "1 2 3 4" ] || { echo "the quarters show photographs ${got[*]}, expected 1 2 3 4"; exit 1; }
echo "ok: 全体 saved ${w}x${h}, quarters show photographs ${got[*]}"
