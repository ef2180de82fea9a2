#!/usr/bin/env bash
# The slide view as a user meets it, under X: the program started on a
# folder of eight photographs, a double-click on the first thumbnail opens
# the slide view, "4面" is chosen from its menu by keyboard and Space steps
# on. Each screen's centre is matched against the photographs' colours: the
# four screens show photographs 1-4, then 5-8. Leaves slide1.png (two
# screens after the double-click), slide2.png (four screens) and slide3.png
# (after Space) behind.
#   xvfb_slideview.sh PROGRAM OUTDIR   (run under with-xvfb.sh 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
sq_setup
mkdir -p "$work/photos"

# Eight photographs: a textured picture in a colour of its own, its number
# in a corner.
colours=(red lime blue yellow magenta cyan orange white)
font=""
for f in /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf; do
  [ -f "$f" ] && { font=$f; break; }
done
for i in 1 2 3 4 5 6 7 8; do
  label=()
  [ -n "$font" ] && label=(-font "$font" -pointsize 90 -fill black -annotate +30+110 "$i")
  "$IM" -size 640x480 "xc:${colours[$((i - 1))]}" \
    \( -size 640x480 -seed "$i" plasma:fractal -blur 0x4 -colorspace Gray \) \
    -compose multiply -composite -modulate 100,100,100 "${label[@]}" "$work/photos/photo_$i.jpg"
done
# Each photograph's colour, from the middle of the picture.
mean() { "$IM" "$1" -crop "$2" +repage -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]' info:; }
declare -a ref
for i in 1 2 3 4 5 6 7 8; do ref[$i]=$(mean "$work/photos/photo_$i.jpg" 120x90+260+195); done
# The photograph whose colour is nearest to a region of a screenshot.
nearest() {
  read -r r g b < <(mean "$1" "$2")
  best=0; bestd=999999
  for i in 1 2 3 4 5 6 7 8; do
    read -r R G B <<<"${ref[$i]}"
    d=$(( (r - R) * (r - R) + (g - G) * (g - G) + (b - B) * (b - B) ))
    [ "$d" -lt "$bestd" ] && { best=$i; bestd=$d; }
  done
  echo "$best"
}

sq_start "$program" "$work/photos"
# Double-click the first thumbnail (right of the folder pane, below the tool row).
sq_click 177 85
sleep 0.5
xdotool click --repeat 2 --delay 80 1
sleep 2
xdotool search --name 'スライドビュー/Sorrelquint' >/dev/null || { echo "the slide view did not open"; cat "$work/log"; exit 1; }
import -window root "$out/slide1.png"

# The slide view fills the screen. A click on the info line at the toolbar's
# end makes it active without stepping; then ウインドウ > 4面 by keyboard.
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
sq_shot スライドビュー/Sorrelquint "$out/slide2.png"
xdotool key space
sleep 2
sq_shot スライドビュー/Sorrelquint "$out/slide3.png"

# Screen centres in the slide view: four screens of about 510 x 340 below
# the menu and tool bars (less a title bar's height under a window manager).
check() { # screenshot, expected photographs
  local shot=$1; shift
  local got=() h top
  h=$("$IM" "$shot" -format '%h' info:)
  top=52
  local y1=$((top + (h - top) / 4 - 30)) y2=$((top + 3 * (h - top) / 4 - 30))
  local regions=(80x60+215+$y1 80x60+728+$y1 80x60+215+$y2 80x60+728+$y2)
  for r in "${regions[@]}"; do got+=("$(nearest "$shot" "$r")"); done
  [ "${got[*]}" = "$*" ] || { echo "$shot shows photographs ${got[*]}, expected $*"; exit 1; }
  echo "$shot: photographs ${got[*]}"
}
check "$out/slide2.png" 1 2 3 4
check "$out/slide3.png" 5 6 7 8
echo "ok: 4面 showed photographs 1-4, Space 5-8"
