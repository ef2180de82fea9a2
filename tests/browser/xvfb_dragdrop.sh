#!/usr/bin/env bash
# Drag and drop between two real processes on one X server, with or without
# a window manager, driven by xdotool like a hand on the mouse:
#  1. another program drags two files onto a subfolder's cell of the browser
#     (no key): they are moved into the subfolder;
#  2. it drags two files onto empty space of Sorrelquint's browser with Ctrl
#     held: they are copied into the shown folder;
#  3. two selected thumbnails of Sorrelquint are dragged onto the other
#     program, which receives their two paths and moves the files away; the
#     browser's change watch takes them off the page; while the drag runs, a
#     third program reads its data with no time stamp;
#  4. a drag out cancelled by the second button, and by Escape, drops nothing;
#  5. a folder dropped onto the main window beside the browser is navigated to.
# Leaves dnd1.png (during 1), dnd2.png (after 2), dnd3.png (during 3),
# dnd4.png (after 3) and dnd5.png (after 5) behind.
#   xvfb_dragdrop.sh PROGRAM TOOL OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -u
program=$1; tool=$2; out=$3
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
[ -n "$SQ_X_WM" ] && sq_need wmctrl
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  # Sorrelquint saves its settings on the way out: let it finish first.
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for f in "$work"/*.out "$work/log"; do echo "== $f"; cat "$f"; done; exit 1; }
w=$work
mkdir -p "$w/data" "$w/photos" "$w/src" "$w/other" "$w/moved" "$w/shown/sub"
for i in 1 2 3; do "$IM" -seed "$i" -size 320x240 plasma:fractal "$w/photos/p$i.jpg"; done
"$IM" -size 320x240 xc:blue "$w/other/0.jpg"
"$IM" -size 320x240 xc:blue "$w/shown/a.jpg"
"$IM" -size 320x240 xc:lime "$w/src/u.jpg"
"$IM" -size 320x240 xc:lime "$w/src/v.jpg"
printf x >"$w/src/x.jpg"; printf y >"$w/src/y.jpg"

# Starts the tool; waits for its window. Sets $last to its pid.
run_tool() { # NAME ARGS...
  local name=$1; shift
  "$tool" "$@" >"$w/$name.out" 2>&1 &
  last=$!; pids+=("$last")
  for _ in $(seq 1 100); do grep -q '^ready' "$w/$name.out" && break; sleep 0.1; done
  grep -q '^ready' "$w/$name.out" || fail "$name did not show its window"
  # Under a window manager a click raises the maximised main window over
  # it: the user keeps it above, as one would to drag onto it.
  if [ -n "$SQ_X_WM" ]; then
    local id
    id=$(xdotool search --onlyvisible --pid "$last" 2>/dev/null | head -1)
    [ -n "$id" ] && wmctrl -i -r "$id" -b add,above
    sleep 0.3
  fi
}
wait_for() { # FILE PATTERN
  for _ in $(seq 1 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
# The source's drag may end before the target has done its work.
until_true() { # COMMAND...
  for _ in $(seq 1 100); do "$@" && return 0; sleep 0.1; done
  return 1
}
# Presses the left button at x0,y0 and moves to x1,y1 in steps.
press_and_move() {
  xdotool mousemove "$1" "$2"; sleep 0.3
  xdotool mousedown 1; sleep 0.3
  for s in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $(($1 + ($3 - $1) * s / 8)) $(($2 + ($4 - $2) * s / 8)); sleep 0.15
  done
  sleep 0.4
}
mean() { # mean colour of a region: WxH+X+Y -> "r g b" 0..255
  "$IM" "$1" -crop "$2" -scale 1x1\! -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}

# 1. Onto a subfolder's cell of the browser, no key: moved.
run_tool browser browser 400 60 "$w/shown"
browser=$last
wait_for "$w/browser.out" '^cell0=' || fail "the browser did not show the folder"
cell=$(sed -n 's/^cell0=//p' "$w/browser.out"); cx=${cell%,*}; cy=${cell#*,}
run_tool source1 source 20 60 "$w/src/x.jpg" "$w/src/y.jpg"
press_and_move 170 160 "$cx" "$cy"
import -window root "$out/dnd1.png"
xdotool mouseup 1
wait_for "$w/source1.out" '^result=' || fail "the drag did not end"
until_true test ! -e "$w/src/y.jpg" -a -e "$w/shown/sub/y.jpg"
[ "$(cat "$w/shown/sub/x.jpg" 2>/dev/null)" = x ] && [ "$(cat "$w/shown/sub/y.jpg" 2>/dev/null)" = y ] ||
  fail "x.jpg and y.jpg are not in the subfolder: $(ls -A "$w/shown/sub")"
[ ! -e "$w/src/x.jpg" ] && [ ! -e "$w/src/y.jpg" ] || fail "the sources are still there after a move"
grep -q '^result=move' "$w/source1.out" || fail "the source was told $(grep result "$w/source1.out")"
kill "$browser"

# 2. Onto empty space of Sorrelquint's browser with Ctrl held: copied.
sq_start "$program" "$w/photos"
prog=$pid; pids+=("$prog"); pid=""
sq_main
run_tool source2 source 600 450 "$w/src/u.jpg" "$w/src/v.jpg"
press_and_move 750 550 800 150
xdotool keydown ctrl; sleep 0.2
xdotool mousemove 803 152; sleep 0.4
xdotool mouseup 1; sleep 0.2; xdotool keyup ctrl
wait_for "$w/source2.out" '^result=' || fail "the drag onto Sorrelquint did not end"
until_true test -e "$w/photos/v.jpg"
cmp -s "$w/src/u.jpg" "$w/photos/u.jpg" && cmp -s "$w/src/v.jpg" "$w/photos/v.jpg" ||
  fail "u.jpg and v.jpg were not copied into the shown folder: $(ls -A "$w/photos")"
grep -q '^result=copy' "$w/source2.out" || fail "the source was told $(grep result "$w/source2.out")"
sleep 2
sq_shot '^Sorrelquint$' "$out/dnd2.png"
# Five thumbnails now; the fifth (v.jpg, lime) at x 484..566.
read -r r g b <<<"$(mean "$out/dnd2.png" 60x40+495+65)"
[ "$g" -gt 150 ] && [ "$r" -lt 100 ] || fail "the copied v.jpg is not shown fifth (mean $r $g $b)"

# 3. Two selected thumbnails dragged out onto the other program.
sq_click 176 85; sleep 0.5
xdotool keydown shift; sq_click 263 85; xdotool keyup shift; sleep 0.5
run_tool target1 target 600 450 "$w/moved"
press_and_move $(sq_at 263 85) 750 550
import -window root "$out/dnd3.png"
want=$(printf 'file://%s\nfile://%s' "$w/photos/p1.jpg" "$w/photos/p2.jpg")
# Any program may read the running drag's data, whatever time stamp it asks
# with (this one gives none; a Wayland compositor's bridge gives its own).
asked=$(timeout 10 "$tool" read-drag text/uri-list | tr -d '\r')
[ "$asked" = "$want" ] || fail "the drag's list read by another program is [$asked], want [$want]"
asked=$(timeout 10 "$tool" read-drag UTF8_STRING)
[ "$asked" = "$(printf '%s\n%s' "$w/photos/p1.jpg" "$w/photos/p2.jpg")" ] ||
  fail "the drag's text read by another program is [$asked]"
xdotool mouseup 1
wait_for "$w/target1.out" '^moved=' || fail "the other program got no drop"
uris=$(sed -n 's/^uri=//p' "$w/target1.out")
[ "$uris" = "$want" ] || fail "received [$uris], want [$want]"
grep -q '^moved=2' "$w/target1.out" || fail "the other program could not move both files"
# The change watch reads the folder again: p3, u, v; the fifth cell is empty.
sleep 3
sq_shot '^Sorrelquint$' "$out/dnd4.png"
read -r r g b <<<"$(mean "$out/dnd4.png" 60x40+495+65)"
[ "$g" -lt 100 ] || fail "the moved files are still shown (fifth cell mean $r $g $b)"
read -r r g b <<<"$(mean "$out/dnd4.png" 60x40+320+65)"
[ "$g" -gt 150 ] && [ "$r" -lt 100 ] || fail "v.jpg is not third after the move (mean $r $g $b)"

# 4. A drag out cancelled by the right button, then by Escape: no drop.
sq_click 176 85; sleep 0.5
run_tool target2 target 600 450
press_and_move $(sq_at 176 85) 750 550
xdotool mousedown 3; sleep 0.4
xdotool mouseup 3; sleep 0.2; xdotool mouseup 1; sleep 1
press_and_move $(sq_at 176 85) 750 550
xdotool key Escape; sleep 0.4
xdotool mouseup 1; sleep 1
grep -q '^action=' "$w/target2.out" && fail "a cancelled drag was dropped"
# The same drag without a cancel arrives.
press_and_move $(sq_at 176 85) 750 550
xdotool mouseup 1
wait_for "$w/target2.out" '^uri=' || fail "the drag after the cancels did not arrive"
grep -qx "uri=file://$w/photos/p3.jpg" "$w/target2.out" || fail "the third drag brought $(grep uri "$w/target2.out")"

# 5. A folder dropped onto the folder pane: the main window goes there.
run_tool source3 source 600 450 "$w/other"
press_and_move 750 550 60 300
xdotool mouseup 1
wait_for "$w/source3.out" '^result=' || fail "the drag onto the folder pane did not end"
sleep 3
sq_shot '^Sorrelquint$' "$out/dnd5.png"
read -r r g b <<<"$(mean "$out/dnd5.png" 60x40+146+65)"
[ "$b" -gt 150 ] && [ "$r" -lt 100 ] && [ "$g" -lt 100 ] || fail "the dropped folder was not opened (first cell $r $g $b)"
[ -e "$w/other/0.jpg" ] || fail "the dropped folder's picture was touched"
echo "ok: moved into a subfolder, copied with Ctrl into the shown folder, two paths dragged out and moved, cancels drop nothing, a folder dropped beside the browser opened"
