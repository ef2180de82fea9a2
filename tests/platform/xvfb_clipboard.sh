#!/usr/bin/env bash
# Files on the real X clipboard, both ways: files copied by Sorrelquint are
# read by xclip as text/uri-list; files cut by another program (xclip with
# the GNOME marker) are read as a cut and moved by a paste, which empties the
# clipboard.   xvfb_clipboard.sh TOOL   (run under with-xvfb.sh)
set -u
tool=$1
command -v xclip >/dev/null 2>&1 || { echo "SKIP: xclip is not installed"; exit 77; }
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir -p "$work/src" "$work/dst"
printf alpha >"$work/src/a b.jpg"
printf bravo >"$work/src/写真.jpg"

# Sorrelquint's browser copies with Ctrl+A, Ctrl+C; xclip reads.
"$tool" put "$work/ready" "$work/src" &
put=$!; pids+=("$put")
for _ in $(seq 1 100); do [ -e "$work/ready" ] && break; sleep 0.1; done
[ -e "$work/ready" ] || fail "the tool did not take the clipboard"
targets=$(xclip -selection clipboard -t TARGETS -o)
grep -qx 'text/uri-list' <<<"$targets" || fail "no text/uri-list among: $targets"
grep -qx 'x-special/gnome-copied-files' <<<"$targets" || fail "no GNOME list among: $targets"
got=$(xclip -selection clipboard -t text/uri-list -o | od -An -c | tr -s ' \n' ' ')
want=$(printf 'file://%s\r\nfile://%s\r\n' "$work/src/a%20b.jpg" "$work/src/%E5%86%99%E7%9C%9F.jpg" | od -An -c | tr -s ' \n' ' ')
[ "$got" = "$want" ] || fail "uri-list was [$got], want [$want]"
gnome=$(xclip -selection clipboard -t x-special/gnome-copied-files -o | head -1)
[ "$gnome" = copy ] || fail "GNOME marker '$gnome', want copy"
touch "$work/ready.quit"
wait "$put" || fail "the tool ended with $?"

# Another program cuts; the browser pastes with Ctrl+V and moves.
printf 'cut\nfile://%s\nfile://%s' "$work/src/a%20b.jpg" "$work/src/%E5%86%99%E7%9C%9F.jpg" \
  | xclip -quiet -selection clipboard -t x-special/gnome-copied-files -i >/dev/null 2>&1 &
xc=$!; pids+=("$xc")
for _ in $(seq 1 50); do
  xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -q gnome-copied-files && break
  sleep 0.1
done
out=$("$tool" paste "$work/dst") || fail "paste failed: $out"
grep -q 'files=2 cut=1' <<<"$out" || fail "read '$out', want two files cut"
[ "$(cat "$work/dst/a b.jpg")" = alpha ] || fail "a b.jpg not in the target"
[ "$(cat "$work/dst/写真.jpg")" = bravo ] || fail "写真.jpg not in the target"
[ -z "$(ls -A "$work/src")" ] || fail "sources left behind: $(ls -A "$work/src")"
# xclip lost the selection when the clipboard was emptied.
for _ in $(seq 1 30); do kill -0 "$xc" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$xc" 2>/dev/null; then fail "the clipboard still holds the cut files"; fi
echo "ok: copy read by xclip as text/uri-list; cut from xclip pasted as a move; clipboard emptied"
