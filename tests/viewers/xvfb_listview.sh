#!/usr/bin/env bash
# The full-screen view as a user meets it, under X: the program started on a
# folder of five photographs, a click on the first thumbnail, "フルスクリーンビュー"
# chosen from the ツール menu by keyboard, Right twice, Escape. The third
# photograph must fill the whole screen (centre and three corners match its
# colour: no border, no list, no menu bar), and after Escape the main window
# is back as it was. Then the file list view: opened from the same menu on
# the selected photograph, stepped by Space, closed by its close box (under
# a window manager) or Escape. Leaves listview1.png (the main window before),
# listview2.png (full screen after Right twice) and listview3.png (after
# Escape) behind.
#   xvfb_listview.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
COMPARE=compare; [ -x /usr/bin/compare ] && COMPARE=/usr/bin/compare
sq_need xdotool import
sq_setup
mkdir -p "$work/photos"

# Five photographs of the screen's shape, larger than it, each a textured
# picture in a colour of its own with its number in the top left corner.
colours=(red lime blue yellow magenta)
font=""
for f in /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf; do
  [ -f "$f" ] && { font=$f; break; }
done
for i in 1 2 3 4 5; do
  label=()
  [ -n "$font" ] && label=(-font "$font" -pointsize 160 -fill black -annotate +40+190 "$i")
  "$IM" -size 1280x960 "xc:${colours[$((i - 1))]}" \
    \( -size 1280x960 -seed "$i" plasma:fractal -blur 0x4 -colorspace Gray +level 50%,100% \) \
    -compose multiply -composite "${label[@]}" "$work/photos/photo_$i.jpg"
done
mean() { "$IM" "$1" -crop "$2" +repage -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]' info:; }
declare -a ref
for i in 1 2 3 4 5; do ref[$i]=$(mean "$work/photos/photo_$i.jpg" 640x480+320+240); done
nearest() {
  read -r r g b <<<"$(mean "$1" "$2")"
  best=0; bestd=999999
  for i in 1 2 3 4 5; do
    read -r R G B <<<"${ref[$i]}"
    d=$(( (r - R) * (r - R) + (g - G) * (g - G) + (b - B) * (b - B) ))
    [ "$d" -lt "$bestd" ] && { best=$i; bestd=$d; }
  done
  echo "$best"
}

# The ツール menu by keyboard, its first item highlighted, then KEYS and
# Return: tool_menu [KEYS...]
tool_menu() {
  xdotool key alt
  sleep 0.4
  xdotool key Right Right Right
  sleep 0.3
  xdotool key Down
  sleep 0.4
  xdotool key "$@" Return
}

sq_start "$program" "$work/photos"
# A click on the first thumbnail makes the window active (and selects it);
# then ツール > フルスクリーンビュー by keyboard.
sq_click 177 85
sleep 1
import -window root "$out/listview1.png"
tool_menu Down
sleep 2
xdotool search --onlyvisible --name '^フルスクリーンビュー/photo_1.jpg$' >/dev/null ||
  { echo "the full-screen view did not open on photograph 1"; cat "$work/log"; exit 1; }
# A window manager makes it active and gives it the keyboard at once; bare X
# gives the keyboard only by a click inside (which does not step).
if [ -z "$SQ_X_WM" ]; then
  xdotool mousemove 512 384 click 1
  sleep 0.5
fi
xdotool key Right
sleep 0.5
xdotool key Right
sleep 1.5
import -window root "$out/listview2.png"
xdotool search --onlyvisible --name '^ファイルリストビュー/photo_3.jpg$' >/dev/null ||
  { echo "two Rights did not reach photograph 3"; exit 1; }

# Photograph 3 everywhere on the screen: the centre and the corners it has
# no number in; the top rows too, where a menu bar or a frame would be.
regions=(200x150+412+309 120x90+884+20 120x90+20+658 120x90+884+658 1024x6+0+0)
for r in "${regions[@]}"; do
  got=$(nearest "$out/listview2.png" "$r")
  [ "$got" = 3 ] || { echo "region $r of listview2.png shows photograph $got, expected 3"; exit 1; }
done
# The left 120 pixels, where the list would be, are not black or white.
read -r r g b <<<"$(mean "$out/listview2.png" 120x400+0+200)"
[ $((r + g + b)) -gt 100 ] && [ $((r + g + b)) -lt 700 ] ||
  { echo "the left edge looks like a list ($r $g $b)"; exit 1; }
echo "listview2.png: photograph 3 fills the screen"

xdotool key Escape
sleep 1.5
import -window root "$out/listview3.png"
if xdotool search --onlyvisible --name 'ビュー/photo_' >/dev/null 2>&1; then
  echo "the view is still shown after Escape"; exit 1
fi
# The main window as before: almost every pixel the same.
total=$((1024 * 768))
raw=$("$COMPARE" -metric AE -fuzz 10% "$out/listview1.png" "$out/listview3.png" null: 2>&1 || true)
diff=$(awk '{ if ($1 ~ /^[0-9.e+]+$/) printf "%d", $1 }' <<<"$raw")
[ -n "$diff" ] && [ "$diff" -lt $((total / 20)) ] ||
  { echo "after Escape the screen differs from the main window in ${diff:-?} pixels"; exit 1; }
echo "full screen: photograph 3 filled the screen; Escape brought back the main window ($diff pixels differ)"

# The file list view (ツール > ファイルリストビュー) opened on the selected first
# photograph; under a window manager Space steps it with no click, and its
# title bar's close box hides it as its own close does, the program running
# on. Bare X: focused by hand, closed by Escape.
sq_click 177 85
sleep 0.5
tool_menu
list=$(sq_window '^ファイルリストビュー/photo_1.jpg$')
[ -n "$list" ] || { echo "the file list view did not open on photograph 1"; cat "$work/log"; exit 1; }
sleep 1
[ -z "$SQ_X_WM" ] && xdotool windowfocus --sync "$list"
xdotool key space
# At once: the view's timer (were it started) would step too, after 5 s.
sleep 1
[ "$(xdotool getwindowname "$list")" = "ファイルリストビュー/photo_2.jpg" ] ||
  { echo "Space did not step the file list view to photograph 2: $(xdotool getwindowname "$list")"; exit 1; }
if [ -n "$SQ_X_WM" ]; then
  wmctrl -i -c "$list"
  closed_by="its close box"
else
  xdotool key Escape
  closed_by="Escape"
fi
sleep 1
xdotool search --onlyvisible --name '^ファイルリストビュー/' >/dev/null 2>&1 &&
  { echo "$closed_by did not close the file list view"; exit 1; }
kill -0 "$pid" 2>/dev/null || { echo "the program ended with the file list view's $closed_by"; exit 1; }
[ -n "$(sq_window '^Sorrelquint$')" ] || { echo "the main window went with the file list view"; exit 1; }
echo "file list view: Space stepped it at once, $closed_by hid it, the program runs on"
echo "ok"
