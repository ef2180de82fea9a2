#!/usr/bin/env bash
# Existing files as a user meets them, under X, keys sent with xdotool:
# 1. the program on a folder of four BMP pictures whose JPEG files exist
#    already; every picture selected, "画像" > "JPEGに一括変換": the conflict
#    question opens (screen grab conflicts_convert.png), Escape cancels, and
#    every file is byte for byte what it was.
# 2. all eight files copied with "画像" > "フォルダへコピー" into a folder
#    that holds all eight: the question opens once, the chooser is gone
#    meanwhile, Alt+A (以降すべてに適用) and R answer it, and all eight are
#    replaced without a second question.
#   xvfb_conflicts.sh PROGRAM OUTDIR   (run under with-xvfb.sh [--mutter] 1024x768)
set -u
program=$1; out=$2
mkdir -p "$out"
. "$(dirname "$0")/../support/xsession.sh"
command -v "$IM" >/dev/null || { echo "SKIP: ImageMagick is not installed"; exit 77; }
sq_need xdotool import
sq_setup
fail() { echo "FAIL: $*"; [ -f "$work/log" ] && tail -20 "$work/log"; exit 1; }
mkdir -p "$work/photos" "$work/zzdest"
for i in 1 2 3 4; do
  "$IM" -seed "$i" -size 160x120 plasma:fractal "BMP3:$work/photos/photo_$i.bmp"
  "$IM" -seed "$((i + 10))" -size 90x60 plasma:fractal "$work/photos/photo_$i.jpg"
done
for f in "$work/photos"/*; do echo "old $(basename "$f")" >"$work/zzdest/$(basename "$f")"; done
sums() { (cd "$1" && find . -type f | sort | xargs md5sum); }
before=$(sums "$work/photos")

# The window of that title shown now (id), waiting up to 10 s.
window() {
  local id
  id=$(sq_window "$1")
  [ -n "$id" ] && echo "$id"
}
# Clicks into a window at its top, away from any button or list, so that it
# takes keys (without a window manager a window takes them only then).
focus() {
  sq_geometry "$1"
  xdotool mousemove $((GX + GW / 2)) $((GY + ${2:-12})) click 1
  sleep 0.3
}
# The picture menu (画像), from the folder menu to its right.
pictureMenu() {
  sq_click 177 85
  sleep 0.5
  xdotool key ctrl+a
  sleep 0.5
  xdotool key alt+f
  sleep 0.5
  xdotool key Right
  sleep 0.5
}

sq_start "$program" "$work/photos"

# 1. The conversion onto existing JPEG files. Up twice wraps to the quality
# submenu and reaches JPEGに一括変換 above it.
pictureMenu
xdotool key Up Up
sleep 0.5
xdotool key Return
question=$(window "ファイルの置き換え") || fail "converting onto photo_1.jpg asked nothing"
sleep 0.5
import -window root "$out/conflicts_convert.png"
# Nothing covers the question: the progress box is hidden while it is open.
xdotool search --onlyvisible --name "JPEGに一括変換" >/dev/null 2>&1 &&
  fail "the progress box shows over the question"
focus "$question" 30
xdotool key Escape
for _ in $(seq 1 50); do
  xdotool search --onlyvisible --name "ファイルの置き換え" >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name "ファイルの置き換え" >/dev/null 2>&1 &&
  fail "Escape did not close the question"
sleep 1
xdotool search --onlyvisible --name "ファイルの置き換え" >/dev/null 2>&1 &&
  fail "Escape asked again instead of ending the run"
[ "$(sums "$work/photos")" = "$before" ] || { sums "$work/photos"; fail "a file changed after Escape"; }
ls -A "$work/photos" | grep -q '^\.sq' && fail "a temporary file was left: $(ls -A "$work/photos")"

# 2. Eight existing files copied to a folder. The chooser opens on the
# tree's folder with the folder menu's コピー (Down twice, or once and
# then 移動: both open on it), and is closed again with Escape: after that
# the file commands' chooser opens there too.
sq_click 177 85
sleep 0.3
xdotool key alt+f
sleep 0.5
xdotool key Down Down Return
chooser=$(window "フォルダを(コピー|移動)") || fail "the folder chooser did not open"
focus "$chooser"
xdotool key Escape
sleep 0.5
# Up five times from the top wraps to フォルダへコピー.
pictureMenu
xdotool key Up Up Up Up Up
sleep 0.5
xdotool key Return
chooser=$(window "選択ファイルをコピー") || fail "the copy chooser did not open"
sq_geometry "$chooser"
# Into the folder list, then the target by its name and Return for OK.
xdotool mousemove $((GX + GW / 2)) $((GY + GH / 2)) click 1
sleep 0.3
xdotool type --delay 50 zzdest
sleep 0.5
xdotool key Return
question=$(window "ファイルの置き換え") || fail "copying onto the eight files asked nothing"
sleep 0.5
xdotool search --onlyvisible --name "選択ファイルをコピー" >/dev/null 2>&1 &&
  fail "the chooser is still shown while its copy runs"
import -window root "$out/conflicts_copy.png"
focus "$question" 30
xdotool key alt+a
sleep 0.2
xdotool key r
asked=1
for _ in $(seq 1 50); do
  [ "$(sums "$work/zzdest" | sed 's/ .*//')" = "$(sums "$work/photos" | sed 's/ .*//')" ] && break
  sleep 0.1
done
sleep 1
if xdotool search --onlyvisible --name "ファイルの置き換え" >/dev/null 2>&1; then
  asked=2
fi
[ "$asked" = 1 ] || fail "a second question opened after 以降すべてに適用"
[ "$(sums "$work/zzdest")" = "$(sums "$work/photos")" ] ||
  { sums "$work/zzdest"; fail "the eight files were not all replaced"; }
[ "$(sums "$work/photos")" = "$before" ] || fail "a source changed"
kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
echo "ok: conversion onto existing files asked and Escape kept all 8 files; 8 existing files copied with one question"
