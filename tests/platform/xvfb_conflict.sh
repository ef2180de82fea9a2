#!/usr/bin/env bash
# The conflict question of a long paste on a real X server: while 200 files
# are pasted with the progress window up, the question for the one file the
# target holds already opens; nothing may cover it, and it is answered with
# a click on its button or, after a click into it (no window manager: a
# window takes keys only then), with the keys R, Return and Escape. Leaves
# conflict.png (the question on screen) behind.
#   xvfb_conflict.sh TOOL OUTDIR   (run under with-xvfb.sh [--mutter] 800x600)
set -u
tool=$1; out=$2
mkdir -p "$out"
sq_need xdotool import
fail() { echo "FAIL: $*"; exit 1; }

# answer HOW WANT: runs one paste, answers the question, checks the result.
answer() {
  local how=$1 want=$2 work pid got
  work=$(mktemp -d)
  "$tool" "$work/files" "$work/state" >"$work/out" 2>"$work/err" &
  pid=$!
  for _ in $(seq 1 200); do [ -s "$work/state" ] && break; sleep 0.1; done
  [ -s "$work/state" ] || { kill "$pid"; cat "$work/err"; fail "$how: no question appeared"; }
  sleep 0.8 # well past the progress window's delay, the question still open
  read -r _ bx by bw bh < <(grep '^box' "$work/state")
  read -r _ rx ry < <(grep '^replace' "$work/state")
  grep -q '^covered 0' "$work/state" || fail "$how: the question was covered: $(cat "$work/state")"
  grep -q '^progress-before 1' "$work/state" || fail "$how: the progress window never showed"
  [ "$how" = key-r ] && import -window root "$out/conflict.png"
  case $how in
    click) xdotool mousemove "$rx" "$ry" click 1 ;;
    *)
      # Into the box, away from its buttons: the text's line.
      xdotool mousemove $((bx + bw / 2)) $((by + 30)) click 1
      sleep 0.3
      case $how in
        key-r) xdotool key r ;;
        return) xdotool key Return ;;
        escape) xdotool key Escape ;;
      esac ;;
  esac
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then kill "$pid"; fail "$how: the question did not take the answer"; fi
  wait "$pid" || fail "$how: the tool ended with $?: $(cat "$work/err")"
  got=$(cat "$work/out")
  [ "$got" = "$want" ] || fail "$how: got '$got', want '$want'"
  rm -rf "$work"
}

answer click "middle=new last=1 cancelled=0"
answer key-r "middle=new last=1 cancelled=0"
answer return "middle=old last=1 cancelled=0"
answer escape "middle=old last=0 cancelled=1"
echo "ok: the question stayed on top of the paste and took a click, R, Return and Escape"
