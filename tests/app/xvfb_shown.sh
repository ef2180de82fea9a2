#!/usr/bin/env bash
# What the main window shows follows the files, under X as a user meets it:
# a thumbnail clicked (preview and status panels 2-6 drawn), the clicked
# picture deleted on disk (preview and panels 2-6 empty), another picture
# clicked and replaced on disk (the preview shows the new picture), then
# another folder opened through the favourites box (preview and panels
# empty again). Leaves shown1.png (clicked), shown_deleted.png,
# shown_replaced.png and shown_folderchange.png behind.
#   xvfb_shown.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
sq_setup
mkdir -p "$work/photos" "$work/other"
for i in 1 2 3 4; do
  "$IM" -seed "$i" -size 640x480 plasma:fractal -blur 0x2 "$work/photos/photo_$i.jpg"
done
"$IM" -seed 9 -size 640x480 plasma:fractal "$work/other/other_1.jpg"

sq_start "$program" "$work/photos"
sq_main
status_y=$((MH - 20))
dark() { # dark pixels in a region of a screenshot: WxH+X+Y
  "$IM" "$1" -crop "$2" -colorspace Gray -threshold 50% -format '%[fx:int(w*h*(1-mean))]' info:
}
spread() { # standard deviation of the grey levels in a region, 0..1000
  "$IM" "$1" -crop "$2" -colorspace Gray -format '%[fx:int(1000*standard_deviation)]' info:
}
panels() { dark "$1" "540x16+296+$status_y"; } # status panels 2..6
preview() { spread "$1" "500x300+300+300"; }
mean() { "$IM" "$1" -crop "500x300+300+300" -colorspace Gray -format '%[fx:int(1000*mean)]' info:; }
fail() { echo "$1"; cat "$work/log"; exit 1; }

# The first thumbnail: right of the 128-pixel folder pane, below the tool row.
sq_click 177 85
sleep 1.5
sq_shot '^Sorrelquint$' "$out/shown1.png"
p=$(panels "$out/shown1.png"); s=$(preview "$out/shown1.png")
[ "$p" -gt 40 ] || fail "status panels 2-6 look empty after the click ($p dark pixels)"
[ "$s" -gt 30 ] || fail "the preview shows no picture after the click (spread $s)"

# The clicked picture deleted behind the program's back.
rm "$work/photos/photo_1.jpg"
sleep 2
sq_shot '^Sorrelquint$' "$out/shown_deleted.png"
p=$(panels "$out/shown_deleted.png"); s=$(preview "$out/shown_deleted.png")
[ "$p" -lt 10 ] || fail "status panels 2-6 still show the deleted picture ($p dark pixels)"
[ "$s" -lt 5 ] || fail "the preview still shows the deleted picture (spread $s)"

# The new first picture clicked, then replaced on disk by a plain red one.
sq_click 177 85
sleep 1.5
"$IM" -size 640x480 xc:red "$work/photos/.new.jpg"
mv "$work/photos/.new.jpg" "$work/photos/photo_2.jpg"
sleep 2
sq_shot '^Sorrelquint$' "$out/shown_replaced.png"
s=$(preview "$out/shown_replaced.png"); m=$(mean "$out/shown_replaced.png")
[ "$s" -lt 5 ] || fail "the preview still shows the picture as it was before it was replaced (spread $s)"
[ "$m" -lt 600 ] || fail "the preview is empty instead of showing the replaced picture (mean $m)"
p=$(panels "$out/shown_replaced.png")
[ "$p" -gt 40 ] || fail "status panels 2-6 were emptied though the picture is still listed ($p)"

# Another folder opened: the favourites box's text, then its go button.
sq_click 200 31
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 20 "$work/other"
sq_click 488 31
sleep 2
sq_shot '^Sorrelquint$' "$out/shown_folderchange.png"
p=$(panels "$out/shown_folderchange.png"); s=$(preview "$out/shown_folderchange.png")
[ "$p" -lt 10 ] || fail "status panels 2-6 still describe the old folder's picture ($p dark pixels)"
[ "$s" -lt 5 ] || fail "the preview still shows the old folder's picture (spread $s)"
# The other folder is listed: its one thumbnail is drawn.
t=$(spread "$out/shown_folderchange.png" "80x60+137+55")
[ "$t" -gt 30 ] || fail "the other folder's thumbnail is not drawn (spread $t)"

kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
echo "ok: preview and panels 2-6 emptied after the delete and the folder change, new picture shown after the replace"
