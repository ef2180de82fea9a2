#!/usr/bin/env bash
# The real program in a Wayland session: a headless mutter with XWayland,
# inside a session bus of its own. Two runs on a folder of three pictures,
# each with a fresh data folder:
#  - XWayland (the environment has DISPLAY): the program is an X client; its
#    thumbnails reach the cache file, the loupe magnifies its window, a
#    double-click opens the slide view and
#    Space steps it (its window grabbed before and after), and SIGTERM closes
#    it with exit 0 and a full settings file.
#  - native (no DISPLAY): the program is a Wayland client; its thumbnails
#    reach the cache file, and SIGTERM closes it the same way.
# Then, where weston is installed, the native run again in a headless weston
# whose screen is grabbed: the three thumbnails are on it.
# Leaves wayland_loupe.png, wayland_slide1.png, wayland_slide2.png and
# wayland_native.png in OUTDIR.
# Exits 77 where the compositor or the tools are missing.
#   wayland_session.sh PROGRAM OUTDIR
set -u
program=$1; out=$2

mode=${3:-}
if [ -z "$mode" ]; then
  for tool in mutter dbus-run-session Xwayland xdotool import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  mkdir -p "$out"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -m 0700 "$work/runtime"
  # The compositor runs the checks as its client and ends with them; its own
  # exit status says nothing about them, so they leave theirs in a file.
  XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" WORK="$work" \
    timeout -k 5 150 dbus-run-session -- \
    mutter --wayland --headless --virtual-monitor 1280x1024 --wayland-display=sq-wayland \
    -- "$0" "$program" "$out" --inside >"$work/session.log" 2>&1
  rc=$(cat "$work/rc" 2>/dev/null || echo "")
  # Weston, where installed, is a second native session whose screen can be
  # grabbed (its screenshooter).
  if [ "$rc" = 0 ] && command -v weston >/dev/null 2>&1 && command -v weston-screenshooter >/dev/null 2>&1; then
    rm -f "$work/rc"
    XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" WORK="$work" \
      timeout -k 5 90 "$0" "$program" "$out" --weston >>"$work/session.log" 2>&1
    rc=$(cat "$work/rc" 2>/dev/null || echo "")
  elif [ "$rc" = 0 ]; then
    echo "weston is not installed: no grab of the native session" >>"$work/report"
  fi
  cat "$work/report" 2>/dev/null
  if [ -z "$rc" ]; then
    echo "the session ended before the checks did"; tail -30 "$work/session.log"; exit 1
  fi
  [ "$rc" = 0 ] || { echo "--- session log"; tail -40 "$work/session.log"; }
  exit "$rc"
fi

work=$WORK
pid=""
finish() { echo "$1" >"$work/rc"; exit "$1"; }
fail() { echo "FAIL: $*" >>"$work/report"; [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; finish 1; }
say() { echo "$*" >>"$work/report"; }
IM=convert; [ -x /usr/bin/convert ] && IM=/usr/bin/convert
mkdir -p "$work/pics"
colours=(red blue lime)
for i in 1 2 3; do "$IM" -size 320x240 "xc:${colours[$((i - 1))]}" "$work/pics/$i.jpg"; done
unset QT_QPA_PLATFORM
export ASAN_OPTIONS=detect_leaks=0

# The number of thumbnails in the cache file's header (a 32-bit count at 20).
thumbs() {
  local f=$1/thumb/sorrelquint.dat
  [ -s "$f" ] && od -An -t d4 -j20 -N4 "$f" | tr -d ' ' || echo 0
}
wait_thumbs() {
  for _ in $(seq 1 300); do
    [ "$(thumbs "$1")" = 3 ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "$2: the program ended early: $(tail -5 "$1.log")"
    sleep 0.1
  done
  fail "$2: the cache holds $(thumbs "$1") thumbnails after 30 s, want 3"
}
# SIGTERM closes the program as its close box does: exit 0, settings written.
term_and_check() {
  local data=$1 label=$2 rc
  kill -TERM "$pid"
  for _ in $(seq 1 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "$label: still running 15 s after SIGTERM"
  wait "$pid"; rc=$?; pid=""
  [ "$rc" = 0 ] || fail "$label: exit $rc after SIGTERM: $(tail -5 "$data.log")"
  grep -q "Wayland connection" "$data.log" && fail "$label: $(grep "Wayland connection" "$data.log")"
  [ -f "$data/favorites.dat" ] || fail "$label: no favourites file written at close"
  local lines; lines=$(grep -c $'\r$' "$data/sorrelquint.ini")
  [ "$lines" -eq 55 ] || fail "$label: the settings file has $lines lines"
}
# The mean colour of a 40-pixel square at a fraction of a grabbed window:
# middle FILE FX FY (percent).
middle() {
  local w h; read -r w h < <("$IM" "$1" -format '%w %h' info:)
  "$IM" "$1" -crop "40x40+$((w * $2 / 100 - 20))+$((h * $3 / 100 - 20))" +repage \
    -format '%[fx:int(255*mean.r)] %[fx:int(255*mean.g)] %[fx:int(255*mean.b)]' info:
}
is_colour() { # is_colour "R G B" name
  local r g b; read -r r g b <<<"$1"
  case $2 in
    red) [ "$r" -gt 180 ] && [ "$g" -lt 70 ] && [ "$b" -lt 70 ] ;;
    blue) [ "$b" -gt 180 ] && [ "$r" -lt 70 ] && [ "$g" -lt 70 ] ;;
    lime) [ "$g" -gt 180 ] && [ "$r" -lt 70 ] && [ "$b" -lt 70 ] ;;
  esac
}

if [ "$mode" = --weston ]; then
  # A headless weston of its own (pixel renderer, so its screen can be
  # grabbed); the program as a native client; the grab shows the thumbnails.
  weston --backend=headless-backend.so --use-pixman --debug --socket=sq-weston --idle-time=0 \
    --width=1280 --height=1024 >"$work/weston.log" 2>&1 &
  wpid=$!
  trap 'kill "$wpid" 2>/dev/null; wait "$wpid" 2>/dev/null' EXIT
  for _ in $(seq 1 100); do [ -S "$XDG_RUNTIME_DIR/sq-weston" ] && break; sleep 0.1; done
  [ -S "$XDG_RUNTIME_DIR/sq-weston" ] || fail "weston did not start: $(tail -3 "$work/weston.log")"
  data=$work/data-weston
  mkdir -p "$data"
  env -u DISPLAY -u XAUTHORITY WAYLAND_DISPLAY=sq-weston SORRELQUINT_DATA_DIR="$data" \
    "$program" "$work/pics" >"$data.log" 2>&1 &
  pid=$!
  wait_thumbs "$data" weston
  sleep 2
  (cd "$work" && WAYLAND_DISPLAY=sq-weston timeout 10 weston-screenshooter) || fail "weston: the screen could not be grabbed"
  shot=$(ls "$work"/wayland-screenshot*.png 2>/dev/null | head -1)
  [ -n "$shot" ] || fail "weston: the screenshooter left no picture"
  cp "$shot" "$out/wayland_native.png"
  # The three thumbnails' colours are on the screen: blocks of pure colour.
  for c in red blue lime; do
    n=$("$IM" "$shot" -alpha off -fuzz 12% -fill black +opaque "$c" -fill white -opaque "$c" -colorspace Gray \
      -format '%[fx:int(w*h*mean)]' info:)
    [ "$n" -gt 2000 ] || fail "weston: only $n $c pixels on the screen, no thumbnail of that colour"
  done
  term_and_check "$data" weston
  say "ok: weston (native): 3 thumbnails, all three on the grabbed screen, exit 0 on SIGTERM"
  finish 0
fi

# Inside mutter: the compositor gave WAYLAND_DISPLAY, DISPLAY and XAUTHORITY.
[ -n "${WAYLAND_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ] || fail "the compositor gave no WAYLAND_DISPLAY or DISPLAY"

# --- XWayland
data=$work/data-x
mkdir -p "$data"
SORRELQUINT_DATA_DIR="$data" "$program" "$work/pics" >"$data.log" 2>&1 &
pid=$!
wait_thumbs "$data" XWayland
main=""
for _ in $(seq 1 100); do
  main=$(xdotool search --onlyvisible --name '^Sorrelquint$' 2>/dev/null | head -1)
  [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || fail "XWayland: no X window of the program (is it a Wayland client?)"
sleep 1
# ツール > ルーペ表示 by keyboard, the pointer on the first thumbnail (red).
# XWayland hands out no desktop pixels; the loupe magnifies the program's
# own window and says why once.
xdotool mousemove --window "$main" 600 5 click 1
sleep 0.5
xdotool key alt; sleep 0.4; xdotool key Right Right Right; sleep 0.3
xdotool key Down; sleep 0.4; xdotool key Down Down Down Return
xdotool mousemove --window "$main" 170 80
sleep 2
loupe=$(xdotool search --onlyvisible --name 'ルーペウインドウ' 2>/dev/null | head -1)
[ -n "$loupe" ] || fail "XWayland: the loupe did not open"
import -window "$loupe" "$out/wayland_loupe.png" || fail "XWayland: the loupe could not be grabbed"
seen=$(middle "$out/wayland_loupe.png" 50 50)
is_colour "$seen" red || fail "XWayland: the loupe shows $seen, not the red thumbnail under the pointer"
xdotool search --onlyvisible --name '^ルーペ$' >/dev/null 2>&1 || fail "XWayland: the loupe did not say why the desktop is not shown"
# The first thumbnail: right of the 128-pixel folder pane, below the tool row.
xdotool mousemove --window "$main" 177 85 click 1
sleep 0.5
xdotool click --repeat 2 --delay 80 1
slide=""
for _ in $(seq 1 50); do
  slide=$(xdotool search --onlyvisible --name 'スライドビュー/Sorrelquint' 2>/dev/null | head -1)
  [ -n "$slide" ] && break
  sleep 0.1
done
[ -n "$slide" ] || fail "XWayland: the slide view did not open"
sleep 1.5
import -window "$slide" "$out/wayland_slide1.png" || fail "XWayland: the slide view could not be grabbed"
# Two screens side by side: the first picture on the left, the second right.
left=$(middle "$out/wayland_slide1.png" 25 52); right=$(middle "$out/wayland_slide1.png" 75 52)
is_colour "$left" red && is_colour "$right" blue ||
  fail "XWayland: the slide view shows $left | $right, not the first two pictures (red | blue)"
# The loupe's message may hold the focus: the window manager makes the
# slide view active.
xdotool windowactivate --sync "$slide" 2>/dev/null
sleep 0.5
xdotool key space
sleep 1.5
import -window "$slide" "$out/wayland_slide2.png" || fail "XWayland: the slide view could not be grabbed"
# Space steps by the two screens: the third picture, then round to the first.
left=$(middle "$out/wayland_slide2.png" 25 52); right=$(middle "$out/wayland_slide2.png" 75 52)
is_colour "$left" lime && is_colour "$right" red ||
  fail "XWayland: after Space the slide view shows $left | $right, not lime | red"
term_and_check "$data" XWayland
say "ok: XWayland: 3 thumbnails, the loupe shows the red thumbnail, slide view red | blue, then lime | red after Space, exit 0 on SIGTERM"

# --- native Wayland
data=$work/data-w
mkdir -p "$data"
env -u DISPLAY -u XAUTHORITY SORRELQUINT_DATA_DIR="$data" "$program" "$work/pics" >"$data.log" 2>&1 &
pid=$!
wait_thumbs "$data" Wayland
sleep 1
term_and_check "$data" Wayland
say "ok: Wayland: 3 thumbnails, exit 0 on SIGTERM"
finish 0
