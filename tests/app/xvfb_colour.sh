#!/usr/bin/env bash
# Colour management under X: a JPEG with a Display P3 profile and the same
# pixels without one. Its thumbnail shows the P3 colour in sRGB, the other as
# stored; 表示(V) > カラーマネジメント switches it off (both as stored, kept
# in sorrelquint-extra.ini, the 55 settings lines untouched) and on again; the
# slide view shows the P3 colour too. The platform reads the root window's
# _ICC_PROFILE back as set. Leaves colour_p3.png (thumbnails beside the slide
# view) in OUTDIR.
#   xvfb_colour.sh PROGRAM TOOL OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; tool=$2; out=$3
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
sq_setup
mkdir -p "$work/photos"
"$tool" display
read -r pr pg pb sr sg sb < <("$tool" write "$work/photos")

near() { # near "r g b" R G B TOLERANCE
  local r g b
  read -r r g b <<<"$1"
  [ $((r > $2 ? r - $2 : $2 - r)) -le "$5" ] && [ $((g > $3 ? g - $3 : $3 - g)) -le "$5" ] &&
    [ $((b > $4 ? b - $4 : $4 - b)) -le "$5" ]
}
# Inside the first cell (p3.jpg) and the second (plain.jpg).
cells() {
  sq_shot '^Sorrelquint$' "$work/shot.png"
  c1=$("$tool" mean "$work/shot.png" 157 75 40 20)
  c2=$("$tool" mean "$work/shot.png" 244 75 40 20)
}
toggle() { # 表示(V) > カラーマネジメント, the thirteenth item
  sq_click -74 -11; sleep 0.3
  xdotool key alt+v; sleep 0.4
  for _ in $(seq 1 12); do xdotool key Down; done
  xdotool key Return; sleep 4
}
fail() { echo "$1"; cat "$work/log"; exit 1; }

sq_start "$program" "$work/photos"
sleep 1
cells
cp "$work/shot.png" "$work/thumbs.png"
near "$c1" "$pr" "$pg" "$pb" 4 || fail "P3 thumbnail shows $c1, not $pr $pg $pb"
near "$c2" "$sr" "$sg" "$sb" 3 || fail "plain thumbnail shows $c2, not $sr $sg $sb"
on1=$c1

toggle
cells
near "$c1" "$sr" "$sg" "$sb" 3 || fail "with カラーマネジメント off the P3 thumbnail shows $c1, not $sr $sg $sb"
near "$c2" "$sr" "$sg" "$sb" 3 || fail "with カラーマネジメント off the plain thumbnail shows $c2"
grep -q '^ColourManagement=0' "$work/data/sorrelquint-extra.ini" || fail "the switch was not kept"
[ "$(wc -l <"$work/data/sorrelquint.ini")" = 55 ] || fail "the settings file no longer has 55 lines"
off1=$c1

toggle
cells
near "$c1" "$pr" "$pg" "$pb" 4 || fail "switched on again the P3 thumbnail shows $c1 (a stale thumbnail?)"
grep -q '^ColourManagement=1' "$work/data/sorrelquint-extra.ini" || fail "the switch was not kept"

# The slide view on the P3 picture: a click, then a double click on its cell.
sq_click 177 85; sleep 0.3
xdotool click --repeat 2 --delay 80 1
[ -n "$(sq_window 'スライドビュー/Sorrelquint')" ] || fail "the slide view did not open"
sleep 3
sq_shot 'スライドビュー/Sorrelquint' "$work/slide.png"
# Two screens side by side: p3.jpg on the left, plain.jpg on the right.
s=$("$tool" mean "$work/slide.png" 205 378 100 60)
t=$("$tool" mean "$work/slide.png" 718 378 100 60)
near "$s" "$pr" "$pg" "$pb" 4 || fail "the slide view shows $s for p3.jpg, not $pr $pg $pb"
near "$t" "$sr" "$sg" "$sb" 3 || fail "the slide view shows $t for plain.jpg, not $sr $sg $sb"
"$IM" "$work/thumbs.png" "$work/slide.png" +append "$out/colour_p3.png" 2>/dev/null ||
  cp "$work/slide.png" "$out/colour_p3.png"
echo "ok: P3 thumbnail $on1 (expected $pr $pg $pb), off $off1 (stored $sr $sg $sb), slide view $s and $t"
