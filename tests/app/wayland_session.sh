#!/usr/bin/env bash
# The real program in a Wayland session: a headless mutter with XWayland,
# inside a session bus of its own. Two runs on a folder of three pictures,
# each with a fresh data folder:
#  - XWayland (the environment has DISPLAY): the program is an X client; its
#    thumbnails reach the cache file, the loupe magnifies its window, a
#    double-click opens the slide view and
#    Space steps it (its window grabbed before and after), and SIGTERM closes
#    it with exit 0 and a full settings file.
#  - XWayland beside Wayland programs, with a keyboard and a pointer given to
#    the compositor's seat (tests/support/mutter_input.py): files copied in
#    the browser are on the Wayland clipboard as a file manager reads them,
#    files a Wayland program put there are pasted into the shown folder, and
#    thumbnails dragged out onto a Wayland program and files dragged in from
#    one arrive.
#  - native (no DISPLAY): the program is a Wayland client; its thumbnails
#    reach the cache file, files copied by the keys reach the Wayland
#    clipboard, and SIGTERM closes it the same way.
# Then, where weston is installed, the native run again in a headless weston
# whose screen is grabbed: the three thumbnails are on it.
# Leaves wayland_loupe.png, wayland_slide1.png, wayland_slide2.png,
# wayland_files.png and wayland_native.png in OUTDIR.
# Exits 77 where the compositor or the tools are missing; the checks with
# Wayland programs are left out, with a message, where wl-clipboard or
# python3-dbus is.
#   wayland_session.sh PROGRAM DNDTOOL OUTDIR
set -u
program=$1; tool=$2; out=$3

mode=${4:-}
if [ -z "$mode" ]; then
  for need in mutter dbus-run-session Xwayland xdotool import; do
    command -v "$need" >/dev/null 2>&1 || { echo "SKIP: $need is not installed"; exit 77; }
  done
  mkdir -p "$out"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -m 0700 "$work/runtime"
  # The compositor runs the checks as its client and ends with them; its own
  # exit status says nothing about them, so they leave theirs in a file.
  XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" WORK="$work" \
    timeout -k 5 210 dbus-run-session -- \
    mutter --wayland --headless --virtual-monitor 1280x1024 --wayland-display=sq-wayland \
    -- "$0" "$program" "$tool" "$out" --inside >"$work/session.log" 2>&1
  rc=$(cat "$work/rc" 2>/dev/null || echo "")
  # Weston, where installed, is a second native session whose screen can be
  # grabbed (its screenshooter).
  if [ "$rc" = 0 ] && command -v weston >/dev/null 2>&1 && command -v weston-screenshooter >/dev/null 2>&1; then
    rm -f "$work/rc"
    XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" WORK="$work" \
      timeout -k 5 90 "$0" "$program" "$tool" "$out" --weston >>"$work/session.log" 2>&1
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
fail() {
  echo "FAIL: $*" >>"$work/report"
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  for f in "$work"/*.out; do [ -f "$f" ] && { echo "== $f"; cat "$f"; } >>"$work/report"; done
  finish 1
}
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
wait_thumbs() { # DATA LABEL [COUNT]
  local want=${3:-3}
  for _ in $(seq 1 300); do
    [ "$(thumbs "$1")" = "$want" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "$2: the program ended early: $(tail -5 "$1.log")"
    sleep 0.1
  done
  fail "$2: the cache holds $(thumbs "$1") thumbnails after 30 s, want $want"
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
# The main window's X id in $main.
main_window() { # LABEL
  main=""
  for _ in $(seq 1 100); do
    main=$(xdotool search --onlyvisible --name '^Sorrelquint$' 2>/dev/null | head -1)
    [ -n "$main" ] && return 0
    sleep 0.1
  done
  fail "$1: no X window of the program (is it a Wayland client?)"
}
main_window XWayland
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

# --- XWayland beside Wayland programs
# A headless mutter's seat has no keyboard and no pointer: a Wayland program
# gets neither focus nor the clipboard, and no drag starts. The remote
# desktop session gives it both.
peers=""
for t in wl-copy wl-paste wmctrl; do command -v "$t" >/dev/null 2>&1 || peers="$t is not installed"; done
/usr/bin/python3 -c 'import dbus' 2>/dev/null || peers="python3-dbus is not installed"
if [ -n "$peers" ]; then
  say "skipped: the clipboard and drag and drop with Wayland programs ($peers)"
else
  coproc INPUT { /usr/bin/python3 "$(dirname "$0")/../support/mutter_input.py" 2>&1; }
  read -r -t 10 line <&"${INPUT[0]}"
  [ "${line:-}" = ready ] || fail "no keyboard and pointer for the compositor: ${line:-no answer}"
fi
inp() {
  local reply=""
  echo "$*" >&"${INPUT[1]}"
  read -r -t 5 reply <&"${INPUT[0]}"
  [ "$reply" = ok ] || fail "input '$*': ${reply:-no answer}"
}
# Ctrl and a key (evdev codes: 30 A, 46 C, 47 V).
ctrl() { inp key 29 1; inp key "$1" 1; inp key "$1" 0; inp key 29 0; sleep 0.3; }
click() { inp to "$1" "$2"; sleep 0.2; inp btn 272 1; inp btn 272 0; sleep 0.4; }
# The left button pressed at X0,Y0, moved in steps to X1,Y1 and released.
drag() {
  local s x y px=$1 py=$2
  inp to "$1" "$2"; sleep 0.2; inp btn 272 1; sleep 0.3
  for s in $(seq 1 16); do
    x=$(($1 + ($3 - $1) * s / 16)); y=$(($2 + ($4 - $2) * s / 16))
    inp by $((x - px)) $((y - py)); px=$x; py=$y
    sleep 0.05
  done
  sleep 0.5; inp btn 272 0
}
wait_line() { # FILE PATTERN
  for _ in $(seq 1 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
# A file manager's window: the test's drag tool as a Wayland program,
# maximised so that its place is known. Sets $peer to its pid.
peer() { # NAME ARGS...
  local name=$1; shift
  QT_QPA_PLATFORM=wayland "$tool" "$@" >"$work/$name.out" 2>&1 &
  peer=$!
  wait_line "$work/$name.out" '^ready' || fail "the Wayland program $name did not show its window"
  sleep 0.5
}

if [ -z "$peers" ]; then
  data=$work/data-fm; files=$work/files; incoming=$work/incoming
  mkdir -p "$data" "$files" "$incoming"
  "$IM" -size 320x240 xc:red "$files/a.jpg"; "$IM" -size 320x240 xc:blue "$files/b.jpg"
  "$IM" -size 320x240 xc:lime "$incoming/c.jpg"; "$IM" -size 320x240 xc:yellow "$incoming/d.jpg"
  cp "$incoming/d.jpg" "$work/d.jpg"
  SORRELQUINT_DATA_DIR="$data" "$program" "$files" >"$data.log" 2>&1 &
  pid=$!
  wait_thumbs "$data" "XWayland beside Wayland" 2
  main_window "XWayland beside Wayland"
  # A window of 640x600 at the top left.
  wmctrl -i -r "$main" -b remove,maximized_vert,maximized_horz
  sleep 0.5
  xdotool windowmove "$main" 0 0 windowsize "$main" 640 600
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$main")"
  mx=$X; my=$Y
  # Copied by Ctrl+A, Ctrl+C: the Wayland clipboard has the files as GNOME's
  # file manager reads them.
  click $((mx + 177)) $((my + 85))
  ctrl 30; ctrl 46; sleep 0.5
  types=$(timeout 5 wl-paste --list-types 2>&1)
  for t in text/uri-list x-special/gnome-copied-files; do
    grep -qx "$t" <<<"$types" || fail "the Wayland clipboard offers no $t after Ctrl+C: $types"
  done
  list=$(timeout 5 wl-paste -n -t text/uri-list | tr -d '\r')
  want=$(printf 'file://%s\nfile://%s' "$files/a.jpg" "$files/b.jpg")
  [ "$list" = "$want" ] || fail "the Wayland clipboard's list is [$list], want [$want]"
  gnome=$(timeout 5 wl-paste -n -t x-special/gnome-copied-files)
  [ "$gnome" = "$(printf 'copy\n%s' "$want")" ] || fail "the GNOME list on the clipboard is [$gnome]"
  # A file a Wayland program copied, pasted by Ctrl+V into the shown folder.
  printf 'file://%s\r\n' "$incoming/c.jpg" | timeout 60 wl-copy --foreground -t text/uri-list &
  copier=$!
  sleep 0.5
  click $((mx + 480)) $((my + 150))
  ctrl 47
  for _ in $(seq 1 50); do [ -e "$files/c.jpg" ] && break; sleep 0.1; done
  kill "$copier" 2>/dev/null
  cmp -s "$incoming/c.jpg" "$files/c.jpg" || fail "Ctrl+V did not paste the Wayland clipboard's file: $(ls "$files")"
  [ -e "$incoming/c.jpg" ] || fail "the pasted file left its folder"
  # The first thumbnail (a.jpg) dragged out onto a Wayland program. The
  # user keeps the window above the file manager's, which fills the screen.
  wmctrl -i -r "$main" -b add,above
  peer target target max max
  drag $((mx + 177)) $((my + 85)) 1000 500
  wait_line "$work/target.out" '^uri=' || fail "the Wayland program got no file from the drag"
  grep -qx "uri=file://$files/a.jpg" "$work/target.out" ||
    fail "the Wayland program got $(grep '^uri=' "$work/target.out"), want a.jpg"
  kill "$peer" 2>/dev/null
  # A file dragged in from a Wayland program onto the browser's empty space.
  peer source source max max "$incoming/d.jpg"
  drag 1000 500 $((mx + 480)) $((my + 150))
  wait_line "$work/source.out" '^result=' || fail "the drag from the Wayland program did not end"
  result=$(sed -n 's/^result=//p' "$work/source.out")
  for _ in $(seq 1 50); do cmp -s "$work/d.jpg" "$files/d.jpg" && break; sleep 0.1; done
  cmp -s "$work/d.jpg" "$files/d.jpg" || fail "the file dragged in is not in the shown folder (the drag's result: $result)"
  case $result in
    copy) done_as=copied; [ -e "$incoming/d.jpg" ] || fail "a copied file left its folder" ;;
    move) done_as=moved; [ ! -e "$incoming/d.jpg" ] || fail "a moved file is still in its folder" ;;
    *) fail "the Wayland program was told $result" ;;
  esac
  kill "$peer" 2>/dev/null
  sleep 2
  import -window "$main" "$out/wayland_files.png" 2>/dev/null
  term_and_check "$data" "XWayland beside Wayland"
  say "ok: XWayland beside Wayland programs: Ctrl+C put text/uri-list and the GNOME list on the Wayland clipboard, Ctrl+V pasted a Wayland program's file, a thumbnail dragged onto a Wayland program arrived, a file dragged from one was $done_as in, exit 0 on SIGTERM"
fi

# --- native Wayland
data=$work/data-w
mkdir -p "$data"
env -u DISPLAY -u XAUTHORITY SORRELQUINT_DATA_DIR="$data" "$program" "$work/pics" >"$data.log" 2>&1 &
pid=$!
wait_thumbs "$data" Wayland
sleep 1
native="3 thumbnails"
if [ -z "$peers" ]; then
  # A click on the first thumbnail, then Ctrl+A, Ctrl+C put the three files
  # on the clipboard. The window fills the screen, Qt's own title bar of
  # about 30 pixels on top: the X run's cell 32 pixels lower.
  click 177 117
  ctrl 30; ctrl 46; sleep 0.5
  list=$(timeout 5 wl-paste -n -t text/uri-list | tr -d '\r')
  want=$(printf 'file://%s\nfile://%s\nfile://%s' "$work/pics/1.jpg" "$work/pics/2.jpg" "$work/pics/3.jpg")
  [ "$list" = "$want" ] || fail "Wayland: the clipboard's list after Ctrl+C is [$list], want [$want]"
  native="$native, Ctrl+C put the three files on the clipboard"
fi
term_and_check "$data" Wayland
say "ok: Wayland: $native, exit 0 on SIGTERM"
finish 0
