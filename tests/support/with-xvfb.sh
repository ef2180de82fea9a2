#!/usr/bin/env bash
# Runs a command under a private Xvfb on a free display number and stops the
# server by its process id afterwards. Exits 77 (skipped) where Xvfb is missing.
#   with-xvfb.sh WIDTHxHEIGHT command args...
set -u
size=$1; shift
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIP: Xvfb is not installed"
  exit 77
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
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$@"
