#!/usr/bin/env bash
# Feedback window benchmark. Start-up of the phone with and without the
# browser module beside it (time to "Registered and Ready...", resident
# memory, Qt WebEngine libraries mapped); then, with the module, the time
# from a click on Feedback to the page's first paint, the first time and
# the times after, and the memory once the window was opened and closed.
# Medians go to stdout and to bench/results/feedback-DATE.md.
#
#   bench/feedback_bench.sh [--runs N] [--opens K] [--driver PATH] [--keep]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
runs=7 opens=4 keep=0
driver=${SOFTPHONE_CALL_DRIVER:-$top/build/default/bench/call_bench_driver}
user=1001 pass=1001pw

die() { echo "feedback_bench: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=${2:?}; shift 2 ;;
    --opens) opens=${2:?}; shift 2 ;;
    --driver) driver=${2:?}; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,9p' "$0" >&2; exit 2 ;;
  esac
done
for n in "$runs" "$opens"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || die "--runs and --opens take positive integers"
done
[ -x "$driver" ] || die "no driver at $driver (cmake --build --preset default, or pass --driver PATH)"
driver=$(cd "$(dirname "$driver")" && pwd)/$(basename "$driver")
build=$(cd "$(dirname "$driver")/.." && pwd)
module=$build/softphone-feedback.so
[ -f "$module" ] || die "no browser module at $module"
site=$(sed -n 's/^SOFTPHONE_WEB_SITE_ROOT:INTERNAL=//p' "$build/CMakeCache.txt")
[ -n "$site" ] || die "no SOFTPHONE_WEB_SITE_ROOT in $build/CMakeCache.txt"
for t in Xvfb kamailio certutil openssl python3; do
  command -v "$t" >/dev/null || die "$t not installed (run scripts/setup)"
done

work=$(mktemp -d /tmp/feedbackbench.XXXXXX)
pids=()
lc_dir=""
ok=0
# shellcheck source=bench/lib.sh
. "$here/lib.sh"
trap 'cleanup feedback_bench' EXIT
trap 'exit 130' INT TERM

port=$("$top/scripts/provider" start "$work/provider")
"$top/scripts/pulse" start "$work/pulse" >/dev/null
start_xvfb
# One HOME for every run: it holds only the browser's trust in the test CA.
home=$work/home
mkdir -p "$home" "$work/site"
python3 -B "$top/tests/acceptance/website.py" "$site" "$home" "$work/site" --report-paint > "$work/site.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/site.log" ] && break; sleep 0.1; done
browser_flags=$(head -n1 "$work/site.log")
[[ "$browser_flags" == --proxy-server=* ]] || die "the web site did not start (see $work/site.log)"
sandbox=""
[ "$(id -u)" -eq 0 ] && sandbox=1   # Chromium's sandbox refuses root

# Waits until FILE has a line matching REGEX after line FROM; prints it.
wait_line() { # FILE FROM REGEX SECS
  local i line
  for i in $(seq 1 $(($4 * 50))); do
    line=$(tail -n +"$(($2 + 1))" "$1" | grep -m1 -E "$3" || true)
    [ -n "$line" ] && { echo "$line"; return 0; }
    sleep 0.02
  done
  return 1
}
lines() { wc -l < "$1"; }
webengine_libs() { grep -c 'libQt6WebEngine' "/proc/$1/maps" || true; }

# One run of KIND (with|without) numbered N; appends to results.tsv.
run_one() {
  local kind=$1 n=$2 d="$work/$1-$2" pid
  mkdir -p "$d/bin" "$d/config/Softphone" "$d/data"
  cp "$driver" "$d/bin/"
  [ "$kind" = with ] && cp "$module" "$d/bin/"
  printf '[Password]\nParameters\\Validation=%s\n[Account]\nParameters\\Validation=%s\n[Sip]\nParameters\\Validation=127.0.0.1:%s\n[User]\nParameters\\Validation=%s\n' \
    "$pass" "$user" "$port" "$user" > "$d/config/Softphone/Softphone.ini"
  chmod 600 "$d/config/Softphone/Softphone.ini"
  mkfifo "$d/in"
  ( set +u; . "$work/pulse/env"
    export HOME="$home" XDG_CONFIG_HOME="$d/config" XDG_DATA_HOME="$d/data" XDG_CACHE_HOME="$d/cache"
    export SOFTPHONE_BIND_ADDRESS=127.0.0.1 DISPLAY="$display" QTWEBENGINE_CHROMIUM_FLAGS="$browser_flags"
    [ -n "$sandbox" ] && export QTWEBENGINE_DISABLE_SANDBOX=1
    printf '%s\n' "$EPOCHREALTIME" > "$d/t0"
    exec "$d/bin/$(basename "$driver")" < "$d/in" ) > "$d/out" 2> "$d/err" &
  pid=$!
  pids+=("$pid")
  exec 4> "$d/in"
  local ready
  ready=$(wait_line "$d/out" 0 '^status [0-9.]+ Registered and Ready' 30) || die "$kind run $n did not register (see $d)"
  local t_ready; t_ready=$(awk '{print $2}' <<< "$ready")
  local mem_start libs_start
  mem_start=$(mem_kb "$pid"); libs_start=$(webengine_libs "$pid")

  local paints=() k from t_click painted
  if [ "$kind" = with ]; then
    for k in $(seq 1 "$opens"); do
      from=$(lines "$d/out"); local site_from; site_from=$(lines "$work/site.log")
      echo feedback >&4
      t_click=$(wait_line "$d/out" "$from" '^feedback ' 10 | awk '{print $2}') || die "no click in $d"
      painted=$(wait_line "$work/site.log" "$site_from" '^GET /painted\?first-paint=' 60) \
        || die "$kind run $n open $k: no first paint within 60 s (see $d)"
      paints+=("$(awk -v c="$t_click" -v p="${painted##*=}" 'BEGIN { printf "%.1f", p - c * 1000 }')")
      sleep 0.5
      from=$(lines "$d/out")
      echo feedback-close >&4
      wait_line "$d/out" "$from" '^feedback-closed ' 10 >/dev/null || die "no close in $d"
      sleep 0.5
    done
    sleep 2
  else
    paints=(-)
  fi
  local mem_after libs_after
  mem_after=$(mem_kb "$pid"); libs_after=$(webengine_libs "$pid")
  echo quit >&4
  exec 4>&-
  end_pid "$pid"
  local later="-"
  [ "${#paints[@]}" -gt 1 ] && later=$(printf '%s\n' "${paints[@]:1}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  # kind n start_to_ready_ms rss_start hwm_start libs_start first_paint_ms later_paint_ms rss_after hwm_after libs_after
  awk -v k="$kind" -v n="$n" -v s="$(cat "$d/t0")" -v r="$t_ready" -v m1="$mem_start" -v l1="$libs_start" \
      -v p1="${paints[0]}" -v p2="$later" -v m2="$mem_after" -v l2="$libs_after" 'BEGIN {
    split(m1, a); split(m2, b)
    printf "%s\t%d\t%.1f\t%d\t%d\t%d\t%s\t%s\t%d\t%d\t%d\n", k, n, (r - s) * 1000, a[1], a[2], l1, p1, p2, b[1], b[2], l2 }' \
    | tee -a "$work/results.tsv" >&2
  printf '%s\t%d\t%s\n' "$kind" "$n" "${paints[*]}" >> "$work/paints.tsv"
}

echo "feedback_bench: provider on 127.0.0.1:$port, display $display, site $site, $runs runs each, work $work" >&2
: > "$work/results.tsv"; : > "$work/paints.tsv"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for n in $(seq 1 "$runs"); do
  if [ $((n % 2)) -eq 1 ]; then run_one with "$n"; run_one without "$n"
  else run_one without "$n"; run_one with "$n"; fi
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

row() { # label column divisor decimals
  local w o
  w=$(median "$work/results.tsv" with "$2"); o=$(median "$work/results.tsv" without "$2")
  awk -v t="$1" -v w="$w" -v o="$o" -v d="$3" -v p="$4" 'BEGIN {
    f = "%10." p "f"
    printf "| %-44s | %10s | %10s |\n", t, (w == "" ? "-" : sprintf(f, w / d)), (o == "" ? "-" : sprintf(f, o / d)) }'
}
date=$(date +%Y-%m-%d)
mkdir -p "$here/results"
out=$(results_file "$here/results" feedback)
{
  echo "# Feedback window benchmark, $date"
  echo
  echo "Driver: $(describe_build "$driver") (the program's wiring, \`bench/call_bench_driver.cpp\`);"
  echo "Qt WebEngine $(dpkg-query -W -f='${Version}' libqt6webenginecore6 2>/dev/null); site $site served on 127.0.0.1 through a proxy, test CA trusted."
  echo "$runs cold starts each, alternating; $opens opens of the feedback window per run with the module."
  echo "Machine: $(machine); load average $load_before before, $load_after after."
  echo
  echo "Medians:"
  echo
  echo "| metric                                       | with module | without |"
  echo "|----------------------------------------------|-----------:|-----------:|"
  row "start -> \"Registered and Ready...\" (ms)" 3 1 0
  row "VmRSS registered, before any click (MiB)" 4 1024 1
  row "VmHWM registered, before any click (MiB)" 5 1024 1
  row "Qt WebEngine libraries mapped before a click" 6 1 0
  row "click -> first paint, first open (ms)" 7 1 0
  row "click -> first paint, later opens (ms)" 8 1 0
  row "VmRSS after the window was closed (MiB)" 9 1024 1
  row "VmHWM after the window was closed (MiB)" 10 1024 1
  row "Qt WebEngine libraries mapped after" 11 1 0
  echo
  echo "Every run (ms, kB; later = median of opens 2..$opens):"
  echo
  echo '```'
  printf 'kind\trun\tto_ready\trss\thwm\tlibs\tpaint1\tlater\trss_after\thwm_after\tlibs_after\n'
  cat "$work/results.tsv"
  echo '```'
  echo
  echo "Click -> first paint of every open (ms):"
  echo
  echo '```'
  grep '^with' "$work/paints.tsv"
  echo '```'
} > "$out"
grep '^| ' "$out"
echo "written: $out"
ok=1
