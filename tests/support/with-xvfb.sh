#!/usr/bin/env bash
# Runs a command under a private Xvfb on a free display number and stops the
# server by its process id afterwards. Exits 77 (skipped) where Xvfb is missing.
#   with-xvfb.sh [--mutter] WIDTHxHEIGHT command args...
# With --mutter the command runs under GNOME's window manager (mutter --x11)
# inside a session bus of its own; skipped (77) where mutter is missing. The
# command sees SQ_X_WM=mutter there, SQ_X_WM= on the bare server.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Second stage, inside dbus-run-session: the window manager, then the command.
if [ "${1:-}" = "--inside-mutter" ]; then
  shift
  # The manager's settings from a folder of its own, never the user's: no
  # animations, so a window is where it belongs as soon as it is mapped.
  conf=$(mktemp -d)
  mkdir -p "$conf/glib-2.0/settings"
  printf '[org/gnome/desktop/interface]\nenable-animations=false\n' >"$conf/glib-2.0/settings/keyfile"
  GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME="$conf" \
    mutter --x11 --replace --sm-disable >"${SQ_MUTTER_LOG:-/dev/null}" 2>&1 &
  mpid=$!
  trap 'kill "$mpid" 2>/dev/null; wait "$mpid" 2>/dev/null; rm -rf "$conf"' EXIT
  # Managed once the root window names the manager's check window and that
  # window names it back.
  ok=""
  for _ in $(seq 1 200); do
    kill -0 "$mpid" 2>/dev/null || { echo "mutter exited at start"; exit 1; }
    check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | sed -n 's/.*window id # //p')
    if [ -n "$check" ] && xprop -id "$check" _NET_WM_NAME 2>/dev/null | grep -qi mutter; then ok=1; break; fi
    sleep 0.1
  done
  [ -n "$ok" ] || { echo "mutter did not take the screen"; exit 1; }
  "$@"
  exit $?
fi

wm=""
if [ "${1:-}" = "--mutter" ]; then wm=mutter; shift; fi
size=$1; shift
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIP: Xvfb is not installed"
  exit 77
fi
if [ -n "$wm" ]; then
  for tool in mutter dbus-run-session xprop; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
  done
fi
# The server picks a free display number itself and writes it to a pipe
# (-displayfd), so two tests starting at once never race for one.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "${size}x24" -noreset -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xpid=$!
trap 'kill "$xpid" 2>/dev/null; wait "$xpid" 2>/dev/null; rm -f "$fifo"' EXIT
display=""
read -r -t 20 display <"$fifo"
[ -n "$display" ] || { echo "Xvfb did not start"; exit 1; }
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  kill -0 "$xpid" 2>/dev/null || { echo "Xvfb did not start"; exit 1; }
  sleep 0.1
done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb SQ_X_WM="$wm" SQ_TEST_SUPPORT="$here"
if [ -n "$wm" ]; then
  # No desktop's own session bus or accessibility bus is reached from here.
  unset DBUS_SESSION_BUS_ADDRESS
  # The bus daemon's note that it may not raise its file limit is noise.
  dbus-run-session -- "$here/with-xvfb.sh" --inside-mutter "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
else
  "$@"
fi
