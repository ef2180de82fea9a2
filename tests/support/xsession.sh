# Sourced by the X test scripts (run under with-xvfb.sh): the start-and-wait
# steps they share, the same with or without a window manager (SQ_X_WM).
#   . "$(dirname "$0")/../support/xsession.sh"
# Gives: sq_need TOOL..., sq_setup (work folder $work, $pid killed at exit),
# sq_start PROGRAM ARGS... (started on $work/data, waited for), sq_main
# (MX MY MW MH: the main window's inside on the screen), sq_at DX DY (a point
# of it; negative counts from the right or bottom edge), sq_click DX DY [NAME]
# (a click there, or in the window NAME), sq_window NAME (id of the first
# shown window so named, waited for), sq_shot NAME FILE (its inside taken).
IM=convert; [ -x /usr/bin/convert ] && IM=/usr/bin/convert   # ImageMagick, not a stand-in on PATH
SQ_X_WM=${SQ_X_WM:-}

sq_need() {
  local t
  for t in "$@"; do
    command -v "$t" >/dev/null 2>&1 || { echo "SKIP: $t is not installed"; exit 77; }
  done
}

# Extra cleanup a script wants at exit goes into sq_at_exit.
sq_at_exit() { :; }
sq_cleanup() {
  sq_at_exit
  if [ -n "${pid:-}" ]; then kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; fi
  rm -rf "$work"
}
sq_setup() {
  work=$(mktemp -d)
  pid=""
  trap sq_cleanup EXIT
  mkdir -p "$work/data"
}

# The id of the first shown window whose title matches NAME (a regular
# expression), waited for up to 10 s; empty when none came.
sq_window() {
  local id=""
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && break
    sleep 0.1
  done
  echo "$id"
}

# Under a window manager a window is in place once its frame is drawn around
# it (_NET_FRAME_EXTENTS set) and the manager has answered with a position.
sq_settled() {
  [ -z "$SQ_X_WM" ] && return 0
  for _ in $(seq 1 50); do
    xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q ' = ' && return 0
    sleep 0.1
  done
  return 1
}

# PROGRAM started on a fresh data folder, waited for until its main window is
# shown and its settings file written, then given time to list the folder.
sq_start() {
  SORRELQUINT_DATA_DIR="$work/data" "$@" >>"$work/log" 2>&1 &
  pid=$!
  for _ in $(seq 1 100); do
    [ -s "$work/data/sorrelquint.ini" ] && xdotool search --onlyvisible --name '^Sorrelquint$' >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || { echo "the program exited at start"; cat "$work/log"; exit 1; }
    sleep 0.1
  done
  local id
  id=$(sq_window '^Sorrelquint$')
  [ -n "$id" ] && sq_settled "$id"
  sleep 3
}

# Inside geometry of the window ID on the screen: GX GY GW GH.
# xwininfo, not xdotool: under a reparenting manager xdotool adds the
# frame's offset twice.
sq_geometry() {
  local info
  info=$(xwininfo -id "$1")
  GX=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  GY=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  GW=$(sed -n 's/^ *Width: *//p' <<<"$info")
  GH=$(sed -n 's/^ *Height: *//p' <<<"$info")
}
sq_main() {
  local id
  id=$(sq_window "${1:-^Sorrelquint\$}")
  [ -n "$id" ] || { echo "no window named ${1:-Sorrelquint}"; exit 1; }
  sq_geometry "$id"
  MX=$GX; MY=$GY; MW=$GW; MH=$GH
}
sq_at() {
  local dx=$1 dy=$2
  [ "$dx" -lt 0 ] && dx=$((MW + dx))
  [ "$dy" -lt 0 ] && dy=$((MH + dy))
  echo "$((MX + dx)) $((MY + dy))"
}
# A click at a point of the main window, or of the window named NAME.
#   sq_click DX DY [NAME]
sq_click() {
  sq_main "${3:-}"
  # shellcheck disable=SC2046
  xdotool mousemove $(sq_at "$1" "$2") click 1
}
# The inside of the window named NAME (a regular expression) saved to FILE.
sq_shot() {
  local id
  id=$(sq_window "$1")
  [ -n "$id" ] || { echo "no window named $1 to take"; exit 1; }
  import -window "$id" "$2"
}
