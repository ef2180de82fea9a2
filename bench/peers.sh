#!/usr/bin/env bash
# Times this program, qimgv and gThumb from launch until every picture of a
# cold folder has a thumbnail in the program's own cache, under a private
# Xvfb, with a fresh HOME, XDG folders and caches for every run.
#   bench/peers.sh [path/to/sorrelquint]     (default build-rel/sorrelquint)
# Environment: RUNS (default 5), SETS (default "12mp 2mp one"),
#   PROGRAMS (default "ours qimgv gthumb"), TIMEOUT seconds a run (default 30),
#   BENCH_DIR (the corpus, default /tmp/bench), KEEP=1 keeps the run folders
#   and the programs' output (the folder is named at the end).
# Sets: 12mp = the first 12 pictures of corpus/12mp, 2mp = the first 12 of
# corpus/2mp, one = the first picture of corpus/2mp alone (start-up).
# Runs alternate between the programs; the table gives medians and our ratio.
# Caches counted:
#   ours    the count in the header of <data folder>/thumb/<program>.dat
#   gthumb  freedesktop PNGs under $XDG_CACHE_HOME/thumbnails/*/
#   qimgv   files under $XDG_CACHE_HOME/qimgv/thumbnails/ (and ~/.cache/qimgv)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
ours=$(realpath "${1:-$here/build-rel/sorrelquint}")
runs=${RUNS:-5}
sets=${SETS:-12mp 2mp one}
programs=${PROGRAMS:-ours qimgv gthumb}
timeout=${TIMEOUT:-30}
B=${BENCH_DIR:-/tmp/bench}
[ -x "$ours" ] || { echo "no program at $ours (build build-rel first)"; exit 1; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing"; exit 1; }

missing=""
for p in qimgv gthumb; do
  case " $programs " in *" $p "*) command -v $p >/dev/null || missing="$missing $p";; esac
done
if [ -n "$missing" ]; then
  echo "installing$missing"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
fi

# The corpus: made by the shared script, unless it is being made right now,
# in which case the pictures needed are waited for (each appears whole, by a rename).
corpus_ready() { [ -s "$B/corpus/12mp/img_12.jpg" ] && [ -s "$B/corpus/2mp/img_12.jpg" ]; }
if ! corpus_ready; then
  if ! pgrep -f make_corpus.sh >/dev/null; then
    bash "$here/../shared/bench/make_corpus.sh" || bash /work/shared/bench/make_corpus.sh
  fi
  echo "waiting for the corpus under $B/corpus"
  until corpus_ready; do sleep 2; done
fi

work=$(mktemp -d /tmp/peers.XXXXXX)
xpid=""
cleanup() {
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
  if [ "${KEEP:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
for set in 12mp 2mp; do
  mkdir -p "$work/pictures/$set"
  for i in $(seq -w 1 12); do cp "$B/corpus/$set/img_$i.jpg" "$work/pictures/$set/"; done
done
mkdir -p "$work/pictures/one" && cp "$B/corpus/2mp/img_01.jpg" "$work/pictures/one/"

fifo=$work/displayfd
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -noreset -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xpid=$!
read -r -t 20 display <"$fifo" || { echo "Xvfb did not start"; exit 1; }

echo "ours: $ours"
for p in qimgv gthumb; do
  command -v $p >/dev/null && echo "$p: $(dpkg-query -W -f='${Version}' $p 2>/dev/null)"
done
echo "runs: $runs, cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg)"

DISPLAY=":$display" python3 - "$work" "$ours" "$runs" "$timeout" "$sets" "$programs" <<'EOF'
import os, shutil, signal, statistics, struct, subprocess, sys, time

work, ours, runs, timeout, sets, programs = sys.argv[1:7]
runs, timeout = int(runs), float(timeout)
sets, programs = sets.split(), programs.split()

def count_ours(home):
    try:
        with open(os.path.join(home, "sq", "thumb", os.path.basename(ours) + ".dat"), "rb") as f:
            head = f.read(24)
    except OSError:
        return 0
    return struct.unpack("<i", head[20:24])[0] if len(head) == 24 else 0

def count_files(folders, suffix):
    n = 0
    for d in folders:
        try:
            n += sum(1 for e in os.scandir(d) if e.is_file() and e.name.endswith(suffix))
        except OSError:
            pass
    return n

def count_gthumb(home):
    t = os.path.join(home, "cache", "thumbnails")
    return count_files([os.path.join(t, s) for s in ("normal", "large", "x-large", "xx-large")], ".png")

def count_qimgv(home):
    folders = []
    for base in (os.path.join(home, "cache", "qimgv"), os.path.join(home, ".cache", "qimgv")):
        for root, dirs, files in os.walk(base):
            folders.append(root)
    return count_files(folders, "")

def command(program, folder):
    if program == "ours":
        return [ours, folder]
    if program == "gthumb":
        return ["gthumb", folder]
    # qimgv opens a folder in its folder view, where the whole grid is thumbnailed.
    return ["qimgv", folder]

counters = {"ours": count_ours, "gthumb": count_gthumb, "qimgv": count_qimgv}

def one_run(program, folder, expected, tag):
    home = os.path.join(work, "home", tag)
    shutil.rmtree(home, ignore_errors=True)
    env = dict(os.environ)
    for k in list(env):
        if k.startswith("XDG_") or k.startswith("QT_") or k in ("SORRELQUINT_DATA_DIR", "DBUS_SESSION_BUS_ADDRESS"):
            del env[k]
    runtime = os.path.join(home, "run")
    for d in ("cache", "config", "data", "state", "run", "sq"):
        os.makedirs(os.path.join(home, d), mode=0o700)
    env.update(HOME=home, XDG_CACHE_HOME=home + "/cache", XDG_CONFIG_HOME=home + "/config",
               XDG_DATA_HOME=home + "/data", XDG_STATE_HOME=home + "/state",
               XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb", NO_AT_BRIDGE="1",
               GDK_BACKEND="x11")
    if program == "ours":
        env["SORRELQUINT_DATA_DIR"] = home + "/sq"
    count = counters[program]
    log = open(os.path.join(work, "log-" + tag), "wb")
    t0 = time.monotonic()
    # A session bus of the run's own, ended with it: no program finds one left by another.
    proc = subprocess.Popen(["dbus-run-session", "--"] + command(program, folder), env=env, stdout=log, stderr=log,
                            start_new_session=True)
    elapsed = None
    while time.monotonic() - t0 < timeout:
        if count(home) >= expected:
            elapsed = time.monotonic() - t0
            break
        if proc.poll() is not None:
            break
        time.sleep(0.005)
    got = count(home)
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()
    log.close()
    if elapsed is None:
        print(f"  {program}: {got} of {expected} thumbnails, no result (log {tag})", flush=True)
    return elapsed

results = {}
for s in sets:
    folder = os.path.join(work, "pictures", s)
    expected = len(os.listdir(folder))
    print(f"{s}: {expected} pictures", flush=True)
    for r in range(runs):
        # Each round starts with another program, so none always comes first.
        order = programs[r % len(programs):] + programs[:r % len(programs)]
        line = []
        for p in order:
            t = one_run(p, folder, expected, f"{s}-{p}-{r}")
            results.setdefault((s, p), []).append(t)
            line.append(f"{p} {t:.3f}" if t is not None else f"{p} -")
        print("  run %d: %s" % (r + 1, ", ".join(line)), flush=True)

print()
print("%-6s" % "set" + "".join("%12s" % p for p in programs) +
      "".join("%14s" % ("ratio " + p) for p in programs if p != "ours"))
for s in sets:
    med = {}
    for p in programs:
        v = [t for t in results.get((s, p), []) if t is not None]
        med[p] = statistics.median(v) if len(v) * 2 > len(results.get((s, p), [])) else None
    cells = "".join("%12s" % (f"{med[p]:.3f} s" if med[p] is not None else "-") for p in programs)
    ratios = ""
    for p in programs:
        if p == "ours":
            continue
        ok = med.get("ours") and med[p]
        ratios += "%14s" % (f"{med[p] / med['ours']:.2f}x" if ok else "-")
    print("%-6s" % s + cells + ratios)
print("(median of %d runs; ratio = that program's time over ours, above 1 means we are ahead)" % runs)
EOF
