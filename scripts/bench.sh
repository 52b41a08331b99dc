#!/usr/bin/env bash
# Footprint of KeepFresh.exe side by side with a floor: a bare Win32 program
# (bench/floor.cpp) built by the same toolchain with the same flags, that
# only opens an empty window of the same size and, for the restart cycle,
# opens the target through the shell. Prints one Markdown table.
#   BENCH_RUNS     runs of each working window and of the log bench (5);
#                  start-up and cycle, which take a moment each, run 4x as often
#   BENCH_SECONDS  length of a working window (60)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
# A prefix of its own, so that a bench never disturbs a test run.
export WINEPREFIX=${KEEPFRESH_WINEPREFIX:-$PWD/build/wineprefix-bench-$KEEPFRESH_ARCH}

runs=${BENCH_RUNS:-5}
seconds=${BENCH_SECONDS:-60}
quick_runs=$((runs * 4))
[ "$runs" -ge 1 ] && [ "$seconds" -ge 1 ] || { echo "bench: BENCH_RUNS and BENCH_SECONDS must be positive" >&2; exit 2; }

echo "bench: building" >&2
# The product's size is the 32-bit release exe's; its floor is built in the same tree.
cmake --preset release >/dev/null
cmake --build --preset release --target KeepFresh floor >/dev/null
# What runs is the build of the arch this machine's Wine can run, in a tree of its own.
preset=test
[ "$KEEPFRESH_ARCH" = x86_64 ] && preset=test-x64
build=build/bench-$KEEPFRESH_ARCH
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target KeepFresh floor sleeper bench_driver log_bench >/dev/null

# Both programs side by side; the restart target is a copy of the sleeper.
run=$PWD/$build/bench-run
rm -rf "$run"
mkdir -p "$run"
cp "$build"/bin/{KeepFresh,floor,driver,log_bench}.exe "$run"/
cp "$build"/bin/sleeper.exe "$run"/Target.exe
win() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }  # drive Z: is the unix root
keepfresh=$(win "$run/KeepFresh.exe")
floor=$(win "$run/floor.exe")
target=$(win "$run/Target.exe")

# Wine as the test run has it: a persistent wineserver, a private Xvfb, services started.
keepfresh_wine_prefix
"$WINESERVER" -p 2>/dev/null || true  # one may be running already
display=950
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
results=$(mktemp "${TMPDIR:-/tmp}/keepfresh-bench.XXXXXX")
drive() { LANG=$KEEPFRESH_LANG "$WINE" "$run/driver.exe" "$@" </dev/null | tr -d '\r'; }
cleanup() {
  drive close KeepFresh.exe floor.exe Target.exe log_bench.exe >/dev/null 2>&1 || true
  "$WINESERVER" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$results"
}
trap cleanup EXIT
export DISPLAY=:$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
LANG=$KEEPFRESH_LANG "$WINE" wineboot >/dev/null 2>&1 </dev/null

# ---- Sizes: stripped copies, whatever the link flags -----------------------

stripped_size() {  # <arch> <exe>
  local copy="$run/stripped.exe"
  "$1-w64-mingw32-strip" -o "$copy" "$2"
  stat -c %s "$copy"
  rm -f "$copy"
}
echo "size_i686 KeepFresh.exe $(stripped_size i686 build/mingw/KeepFresh.exe)" >>"$results"
echo "size_i686 floor.exe $(stripped_size i686 build/mingw/bench/floor.exe)" >>"$results"
if [ "$KEEPFRESH_ARCH" != i686 ]; then
  echo "size_arch KeepFresh.exe $(stripped_size "$KEEPFRESH_ARCH" "$run/KeepFresh.exe")" >>"$results"
  echo "size_arch floor.exe $(stripped_size "$KEEPFRESH_ARCH" "$run/floor.exe")" >>"$results"
fi

# ---- Start-up: launch to visible main window, the two taking turns ---------

echo "bench: start-up, $quick_runs launches of each" >&2
drive startup "$quick_runs" "$keepfresh" KeepFreshMainWindow "$floor" FloorWindow >>"$results"

# ---- Working windows: KeepFresh counting down, the floor idle, side by side --

# The wine process of this prefix that runs the program at $run/<name>.
unix_pid() {
  local p
  for p in $(pgrep -f -- "${1//./\\.}"); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    [ "$(tr '\0' '\n' 2>/dev/null <"/proc/$p/cmdline" | head -n 1)" = "$(win "$run/$1")" ] || continue
    echo "$p"
    return 0
  done
  echo "bench: no process for $1" >&2
  return 1
}
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }  # utime + stime
status_kib() { awk -v f="$2:" '$1 == f {print $2}' "/proc/$1/status"; }
ticks_per_s=$(getconf CLK_TCK)

for i in $(seq "$runs"); do
  echo "bench: working window $i of $runs, $seconds s" >&2
  [ "$(drive work "$keepfresh" "$floor" "$target")" = ready ] || { echo "bench: KeepFresh did not start working" >&2; exit 1; }
  declare -A pid=() before=()
  for name in KeepFresh.exe floor.exe; do
    pid[$name]=$(unix_pid "$name")
    before[$name]=$(cpu_ticks "${pid[$name]}")
  done
  sleep "$seconds"
  for name in KeepFresh.exe floor.exe; do
    p=${pid[$name]}
    after=$(cpu_ticks "$p")
    awk -v n="$name" -v t=$((after - ${before[$name]})) -v hz="$ticks_per_s" 'BEGIN {printf "cpu_s %s %.2f\n", n, t / hz}'
    echo "peak_kib $name $(status_kib "$p" VmHWM)"
    echo "private_kib $name $(($(status_kib "$p" RssAnon) + $(status_kib "$p" VmSwap)))"
  done >>"$results"
  drive close KeepFresh.exe floor.exe Target.exe
done

# ---- Restart cycle: tick to the target's new process -----------------------

echo "bench: restart cycle, $quick_runs rounds" >&2
drive cycle "$quick_runs" "$keepfresh" "$floor" "$target" >>"$results"

# ---- Activity log, in process -----------------------------------------------

for i in $(seq "$runs"); do
  echo "bench: log, run $i of $runs" >&2
  LANG=$KEEPFRESH_LANG "$WINE" "$run/log_bench.exe" </dev/null | tr -d '\r' | awk '
    $1 == "lines_per_s" {print "lines_per_s KeepFresh.exe", $2}
    $1 ~ /_after_/ {split($1, w, "_after_"); print "log_" w[1] "_kib after" w[2], $2 / 1024}
    $1 == "private_after_10" {few = $2}
    $1 == "private_after_10000" {print "log_growth_b KeepFresh.exe", $2 - few}' >>"$results"
done

# ---- The table ----------------------------------------------------------------

wine_version=$("$WINE" --version)
cat <<EOF

KeepFresh against the floor (bench/floor.cpp), measured as the $KEEPFRESH_ARCH build under $wine_version
$(date), $(nproc) CPUs, Linux $(uname -r); median (min-max) of the runs in column n.

EOF
awk -v arch="$KEEPFRESH_ARCH" -v seconds="$seconds" '
  { key = $1 SUBSEP $2; n[key]++; v[key, n[key]] = $3 }
  function sorted(key,   i, j, t) {
    for (i = 1; i <= n[key]; i++) s[i] = v[key, i]
    for (i = 2; i <= n[key]; i++) for (j = i; j > 1 && s[j - 1] > s[j]; j--) { t = s[j]; s[j] = s[j - 1]; s[j - 1] = t }
  }
  function median(key,   m) {
    sorted(key); m = n[key]
    return m % 2 ? s[(m + 1) / 2] : (s[m / 2] + s[m / 2 + 1]) / 2
  }
  function cell(key, fmt) {
    if (!n[key]) return "-"
    if (n[key] == 1) return sprintf(fmt, v[key, 1])
    sorted(key)
    return sprintf(fmt " (" fmt "-" fmt ")", median(key), s[1], s[n[key]])
  }
  function row(label, metric, a, b, fmt, goal, metric_b,   ka, kb, ratio, verdict, ma, mb) {
    ka = metric SUBSEP a; kb = (metric_b ? metric_b : metric) SUBSEP b
    ratio = "-"; verdict = ""
    if (n[ka] && n[kb]) {
      ma = median(ka); mb = median(kb)
      if (mb > 0) ratio = sprintf("%.2f", ma / mb)
      if (goal == "ratio") verdict = ma <= 1.1 * mb ? "met" : "missed"
      if (goal == "plus") verdict = ma <= mb + 0.05 ? "met" : "missed"
    }
    if (goal == "size") verdict = median(ka) <= 65536 ? "met" : "missed"
    if (goal == "equal") { sorted("log_growth_b" SUBSEP "KeepFresh.exe"); verdict = s[n["log_growth_b" SUBSEP "KeepFresh.exe"]] == 0 ? "met" : "missed" }
    printf "| %s | %s | %s | %s | %d | %s |\n", label, cell(ka, fmt), cell(kb, fmt), ratio, n[ka], goals[goal] (verdict ? ": " verdict : "")
  }
  END {
    goals["size"] = "KeepFresh <= 65,536"; goals["ratio"] = "<= 1.1x floor"; goals["plus"] = "<= floor + 0.05 s"
    goals["equal"] = "equal"; goals[""] = "-"
    print "| measure | KeepFresh | floor | ratio | n | goal |"
    print "|---|---|---|---|---|---|"
    row("exe size, i686 release, stripped (bytes)", "size_i686", "KeepFresh.exe", "floor.exe", "%d", "size")
    if (n["size_arch" SUBSEP "KeepFresh.exe"])
      row("exe size, " arch " (measured), stripped (bytes)", "size_arch", "KeepFresh.exe", "floor.exe", "%d", "")
    row("start-up: launch to visible window (ms)", "startup_ms", "KeepFresh.exe", "floor.exe", "%.1f", "ratio")
    row("peak resident memory, VmHWM (KiB)", "peak_kib", "KeepFresh.exe", "floor.exe", "%d", "ratio")
    row("private bytes after " seconds " s working (KiB)", "private_kib", "KeepFresh.exe", "floor.exe", "%d", "ratio")
    row("CPU in " seconds " s: working vs floor idle (s)", "cpu_s", "KeepFresh.exe", "floor.exe", "%.2f", "plus")
    row("restart cycle: tick to new target process (ms)", "cycle_ms", "KeepFresh.exe", "floor.exe", "%.1f", "ratio")
    row("restart cycle with no target running (ms)", "cycle_none_running_ms", "KeepFresh.exe", "floor.exe", "%.1f", "ratio", "cycle_ms")
    row("log: lines drawn per second", "lines_per_s", "KeepFresh.exe", "-", "%d", "")
    row("log: private KiB after 10,000 lines (KeepFresh) vs 10 (floor column)", "log_private_kib", "after10000", "after10", "%d", "equal")
    row("log: resident KiB after 10,000 lines (KeepFresh) vs 10 (floor column)", "log_resident_kib", "after10000", "after10", "%d", "")
  }' "$results"
cat <<EOF

Memory is that of the Wine process running each program, read from /proc:
peak resident is VmHWM, private bytes are RssAnon + VmSwap (what Wine itself
reports as a process's private bytes). Under Wine the resident figures include
Wine's own libraries, for both programs alike. CPU is utime + stime of that
process (GetProcessTimes on another process lags far behind under Wine); work
done for it by the wineserver and the X server is not counted. The restart
cycle is timed from posting the tick (WM_TIMER) to the new target process in
the process list; KeepFresh's cycle first ends the running target (in the
second cycle row there is none to end), the floor's only opens it. The log
bench draws on a visible main window, one message-loop turn after each line.
EOF
