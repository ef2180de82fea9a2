#!/usr/bin/env bash
# The slide view's window as a user meets it on a desktop, with or without a
# window manager: opened by a double-click on a thumbnail it has the keyboard
# focus at once and Space steps it with no click; it opens maximised (its
# outer frame fills the work area); ウインドウサイズ > 50% gives its outer
# frame half the screen's width and height; the join dialog (連結して保存)
# lies wholly on the screen, frame included; under a window manager the title
# bar's close box (_NET_CLOSE_WINDOW) closes it as its own close does: hidden,
# its slide timer stopped, the program still running; the join dialog's
# close box closes only it; maximised by the manager and restored, the
# window has its normal size again; the loupe bar (ツール > ルーペバー)
# leaves the info line's text uncovered; the main window's frame has the
# screen's size at start and its share at ウインドウサイズ. Leaves windows1.png
# (after the double-click), windows2.png (after Space, the whole screen),
# windows2_slide.png (the slide view then) and windows3.png (at 50%) behind.
#   xvfb_windows.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool xprop xwininfo import
[ -n "$SQ_X_WM" ] && sq_need wmctrl
sq_setup
mkdir -p "$work/photos"
fail() { echo "FAIL: $*"; tail -20 "$work/log"; exit 1; }

colours=(red lime blue yellow magenta cyan orange white)
for i in 1 2 3 4 5 6 7 8; do
  "$IM" -size 320x240 "xc:${colours[$((i - 1))]}" "$work/photos/photo_$i.jpg"
done
# The photograph whose colour is nearest to a region of a screenshot.
nearest() {
  local r g b R G B d best=0 bestd=999999 i
  read -r r g b < <("$IM" "$1" -crop "$2" +repage -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]' info:)
  for i in 1 2 3 4 5 6 7 8; do
    read -r R G B < <("$IM" "$work/photos/photo_$i.jpg" -crop 20x20+150+110 +repage -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]' info:)
    d=$(( (r - R) * (r - R) + (g - G) * (g - G) + (b - B) * (b - B) ))
    [ "$d" -lt "$bestd" ] && { best=$i; bestd=$d; }
  done
  echo "$best"
}
# Outer size of window ID: its inside and the frame the manager put round it.
extents() { # ID -> "left right top bottom"
  local e
  e=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ',')
  echo "${e:-0 0 0 0}"
}
outer() { # ID -> sets OX OY OW OH
  local l r t b
  sq_geometry "$1"
  read -r l r t b < <(extents "$1")
  OX=$((GX - l)); OY=$((GY - t)); OW=$((GW + l + r)); OH=$((GH + t + b))
}
slide_name='^スライドビュー/Sorrelquint$'
# The first screen's middle (two screens side by side below the bars).
screen1() { sq_shot "$slide_name" "$1"; nearest "$1" "40x40+236+$(( $("$IM" "$1" -format %h info:) / 2 ))"; }

sq_start "$program" "$work/photos"
main=$(sq_window '^Sorrelquint$')
# The main window starts with the screen's size, its outer frame included.
outer "$main"
[ "$OX $OY $OW $OH" = "0 0 1024 768" ] || fail "the main window's frame starts at $OW x $OH at $OX,$OY"
# The double-click opens the slide view on photographs 1 and 2; then Space
# at once, no click in between.
sq_click 177 85
sleep 0.5
xdotool click --repeat 2 --delay 80 1
slide=$(sq_window "$slide_name")
[ -n "$slide" ] || fail "the slide view did not open"
sq_settled "$slide" || fail "the window manager put no frame round the slide view"
sleep 1.5
got=$(screen1 "$out/windows1.png")
[ "$got" = 1 ] || fail "the slide view opened on photograph $got, not 1"
focus=$(xdotool getwindowfocus)
[ "$focus" = "$slide" ] || fail "the slide view has no keyboard focus (focus on $(xdotool getwindowname "$focus" 2>/dev/null))"
xdotool key space
sleep 1.5
import -window root "$out/windows2.png"
got=$(screen1 "$out/windows2_slide.png")
[ "$got" = 3 ] || fail "Space right after the double-click did not step: screen 1 shows photograph $got, not 3"
echo "focus and Space: photograph 1, then 3"

# Maximised: the outer frame is the whole work area (here the screen).
outer "$slide"
[ "$OX $OY $OW $OH" = "0 0 1024 768" ] || fail "the maximised slide view's frame is $OW x $OH at $OX,$OY"
if [ -n "$SQ_X_WM" ]; then
  xprop -id "$slide" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_VERT || fail "the window manager does not hold it maximised"
fi

# ツール > ルーペバー: the bar floats over every window, but not over the
# info line's text (the box round its light green pixels on the screen).
import -window root "$out/windows_info.png"
text=$("$IM" "$out/windows_info.png" -fuzz 20% -fill black +opaque 'rgb(128,255,128)' \
  -fill white -opaque 'rgb(128,255,128)' -format '%@' info:)   # WxH+X+Y
read -r TW TH TX TY < <(tr 'x+' '  ' <<<"$text")
[ "${TW:-0}" -gt 20 ] && [ "$TH" -gt 5 ] || fail "the info line shows no text ($text)"
xdotool key alt; sleep 0.4
xdotool key Right Right Right; sleep 0.3
xdotool key Down; sleep 0.4
xdotool key Down Down Down Return
bar=$(sq_window '^ルーペ$')
[ -n "$bar" ] || fail "ルーペバー showed no loupe bar"
sq_settled "$bar" || fail "the window manager put no frame round the loupe bar"
sleep 1
import -window root "$out/windows_bar.png"
outer "$bar"
[ $((OX + OW)) -le "$TX" ] || [ "$OX" -ge $((TX + TW)) ] || [ $((OY + OH)) -le "$TY" ] || [ "$OY" -ge $((TY + TH)) ] ||
  fail "the loupe bar's frame $OW x $OH at $OX,$OY covers the info line's text $text"
echo "loupe bar at $OX,$OY ($OW x $OH), clear of the info line's text $text"
# The keys go to the slide view again.
xdotool windowfocus "$slide" 2>/dev/null || true
sleep 0.5

# ウインドウ (the fifth menu) > ウインドウサイズ (after 1面, 2面, 4面 and
# 大きく表示する面) > 50%.
xdotool key alt; sleep 0.4
xdotool key Right Right Right Right; sleep 0.3
xdotool key Down; sleep 0.4
xdotool key Down Down Down Down; sleep 0.3
xdotool key Right; sleep 0.4
xdotool key Return
for _ in $(seq 1 30); do outer "$slide"; [ "$OW x $OH" = "512 x 384" ] && break; sleep 0.1; done
sleep 0.5
sq_shot "$slide_name" "$out/windows3.png"
outer "$slide"
[ "$OW x $OH" = "512 x 384" ] || fail "ウインドウサイズ 50% gave a frame of $OW x $OH, not 512 x 384"
if [ -n "$SQ_X_WM" ]; then
  xprop -id "$slide" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED && fail "still maximised at 50%"
fi
echo "frames: maximised 1024 x 768, 50% $OW x $OH"
if [ -n "$SQ_X_WM" ]; then
  # Maximised by the window manager and back to normal size: the 50% frame
  # returns.
  wmctrl -i -r "$slide" -b add,maximized_vert,maximized_horz
  for _ in $(seq 1 30); do outer "$slide"; [ "$OW x $OH" = "1024 x 768" ] && break; sleep 0.1; done
  [ "$OW x $OH" = "1024 x 768" ] || fail "maximised by the window manager the frame is $OW x $OH"
  wmctrl -i -r "$slide" -b remove,maximized_vert,maximized_horz
  for _ in $(seq 1 30); do outer "$slide"; [ "$OW x $OH" = "512 x 384" ] && break; sleep 0.1; done
  [ "$OW x $OH" = "512 x 384" ] || fail "back to normal size the frame is $OW x $OH, not 512 x 384"
  echo "normal size again: $OW x $OH"
fi

# ファイル > 連結して保存 (the fourth item): the dialog and its frame on screen.
xdotool key alt; sleep 0.4
xdotool key Down; sleep 0.4
xdotool key Down Down Down Return
join=$(sq_window '^連結して保存$')
[ -n "$join" ] || fail "the join dialog did not open"
sq_settled "$join" || fail "the window manager put no frame round the join dialog"
sleep 0.8
outer "$join"
[ "$OX" -ge 0 ] && [ "$OY" -ge 0 ] && [ $((OX + OW)) -le 1024 ] && [ $((OY + OH)) -le 768 ] ||
  fail "the join dialog's frame $OW x $OH at $OX,$OY runs past the 1024 x 768 screen"
echo "join dialog: frame $OW x $OH at $OX,$OY"
if [ -n "$SQ_X_WM" ]; then
  # Its title bar's close box is its キャンセル: gone, the slide view stays.
  wmctrl -i -c "$join"
  for _ in $(seq 1 30); do xdotool search --onlyvisible --name '^連結して保存$' >/dev/null 2>&1 || break; sleep 0.1; done
  xdotool search --onlyvisible --name '^連結して保存$' >/dev/null 2>&1 && fail "the join dialog's close box did not close it"
  [ -n "$(sq_window "$slide_name")" ] || fail "the join dialog's close box took the slide view with it"
  echo "join dialog: closed by its close box"
else
  xdotool key Escape; sleep 0.5
  xdotool search --onlyvisible --name '^連結して保存$' >/dev/null 2>&1 && { sq_click 10 10 "$slide_name"; xdotool key Escape; }
fi

if [ -n "$SQ_X_WM" ]; then
  # Playing (Up), then the title bar's close box. The design's close stops
  # the slide timer: the view stays hidden past its next tick (5 s).
  sq_click 10 10 "$slide_name"; sleep 0.3
  xdotool key Up; sleep 0.3
  wmctrl -i -c "$slide"
  for _ in $(seq 1 50); do xdotool search --onlyvisible --name "$slide_name" >/dev/null 2>&1 || break; sleep 0.1; done
  xdotool search --onlyvisible --name "$slide_name" >/dev/null 2>&1 && fail "the close box did not close the slide view"
  sleep 6
  xdotool search --onlyvisible --name "$slide_name" >/dev/null 2>&1 && fail "the slide timer ran on after the close box: the view came back"
  kill -0 "$pid" 2>/dev/null || fail "the program ended with the slide view's close box"
  [ -n "$(sq_window '^Sorrelquint$')" ] || fail "the main window is gone"
  echo "close box: the slide view closed, its timer stopped, the program runs on"
fi
# The main window's ウインドウ (after 表示 and ツール) > ウインドウサイズ >
# 50%, then 100%: its outer frame takes that share of the screen.
main_size() { # PERCENT-ITEM (0 for 50%, 5 for 100%) -> waits for the frame
  sq_click -74 -11; sleep 0.3
  xdotool windowfocus "$main" 2>/dev/null || true; sleep 0.3
  xdotool key alt+v; sleep 0.4
  xdotool key Right Right; sleep 0.4
  xdotool key Right; sleep 0.4
  for _ in $(seq 1 "$1"); do xdotool key Down; done
  xdotool key Return
  for _ in $(seq 1 30); do outer "$main"; [ "$OW x $OH" = "$2" ] && break; sleep 0.1; done
  [ "$OW x $OH" = "$2" ] || fail "the main window's ウインドウサイズ gave a frame of $OW x $OH, not $2"
}
if [ -n "$(xdotool search --onlyvisible --name "$slide_name" 2>/dev/null)" ]; then
  xdotool windowfocus "$slide" 2>/dev/null || true; sleep 0.3
  xdotool key Escape   # hides it
  for _ in $(seq 1 30); do xdotool search --onlyvisible --name "$slide_name" >/dev/null 2>&1 || break; sleep 0.1; done
fi
main_size 0 "512 x 384"
main_size 5 "1024 x 768"
echo "main window: frames 1024 x 768 at start, 512 x 384 at 50%, 1024 x 768 at 100%"
echo "ok${SQ_X_WM:+ under $SQ_X_WM}: focus at once, Space stepped, frames 1024 x 768 and 512 x 384, join dialog on screen"
