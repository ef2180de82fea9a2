#!/usr/bin/env bash
# The program under X on a folder where a FIFO (m.jpg), a link to /dev/zero
# (z.jpg) and a sparse 8 GiB file (big.jpg) lie among photographs, with its
# favourites file a FIFO and its cache file a link to /dev/zero: the FIFO is
# reported once and left as it is, every photo gets its thumbnail, a click on the FIFO's cell previews nothing and waits on
# nothing, and "終了(&C)" ends the program at once, /dev/zero intact. Leaves hostile1.png (all
# thumbnails in) and hostile2.png (after the click on m.jpg) behind.
#   xvfb_hostile.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -eu
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
sq_need xdotool import
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/data/thumb" "$work/photos"
for i in 1 2 3 4 5; do
  "$IM" -seed "$i" -size 640x480 plasma:fractal -blur 0x2 "$work/photos/p$i.jpg"
done
mkfifo "$work/photos/m.jpg"
ln -s /dev/zero "$work/photos/z.jpg"
truncate -s 8G "$work/photos/big.jpg"
mkfifo "$work/data/favorites.dat"
ln -s /dev/zero "$work/data/thumb/$(basename "$program").dat"

SORRELQUINT_DATA_DIR="$work/data" "$program" "$work/photos" >>"$work/log" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  xdotool search --name Sorrelquint >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 6
# The favourites file cannot be read: said once in a box over the window,
# which the user closes (a click makes it active, Return is its OK).
import -window root "$out/hostile0.png"
sq_click 512 330
sleep 0.3
xdotool key Return
sleep 0.5
import -window root "$out/hostile1.png"
# Cells in name order: big, m, p1..p5, z; 80x60 boxes from x = 128.
sq_click 177 85
sleep 0.3
sq_click 268 85
sleep 1.5
import -window root "$out/hostile2.png"
sq_click -74 -11
sleep 0.3
xdotool key alt+f
sleep 0.5
xdotool key c
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "the program did not quit"; cat "$work/log"; exit 1; fi
wait "$pid" || { echo "program exited with $?"; cat "$work/log"; exit 1; }
pid=""
# A favourites file that could not be read is left as it is (the FIFO is
# neither written through nor replaced); so is the device behind the cache
# link.
[ -p "$work/data/favorites.dat" ] || { echo "the unreadable favourites file was replaced"; exit 1; }
[ -c /dev/zero ] || { echo "/dev/zero is no longer a device"; exit 1; }
grep -q "is not a regular file" "$work/log" || { echo "the cache in the way was not reported"; cat "$work/log"; exit 1; }
echo "ok: the unreadable favourites said once, thumbnails shown, the FIFO's cell clicked, quit at once; the favourites FIFO and /dev/zero left as they were"
