#!/usr/bin/env bash
# Flood benchmark: our phone against linphonec (Debian linphone-cli), each
# registered at the same private Kamailio, with the same private PulseAudio
# and Xvfb, all on 127.0.0.1. Per run: 300 malformed datagrams to the
# program's SIP port, then one clean OPTIONS from a fresh socket; the time
# from the flood's last datagram to its answer and to the program's socket
# being empty, whether it is still registered, its CPU time, and for ours
# the longest gap of a 20 ms timer on the UI thread.
# Medians and ratios go to stdout and to bench/results/flood-DATE.md.
#
#   bench/flood_bench.sh [--runs N] [--count N] [--big N] [--pace-us US] [--driver PATH] [--keep]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
runs=5 count=300 big=60 pace=0 settle=2 after=0.3 keep=0
driver=${SOFTPHONE_FLOOD_DRIVER:-$top/build/default/bench/flood_bench_driver}
ours_user=1001 ours_pass=1001pw lc_user=1002 lc_pass=1002pw

die() { echo "flood_bench: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=${2:?}; shift 2 ;;
    --count) count=${2:?}; shift 2 ;;
    --big) big=${2:?}; shift 2 ;;
    --pace-us) pace=${2:?}; shift 2 ;;
    --driver) driver=${2:?}; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,11p' "$0" >&2; exit 2 ;;
  esac
done
for n in "$runs" "$count"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || die "--runs and --count take positive integers"
done
[[ "$big" =~ ^[0-9]+$ && "$pace" =~ ^[0-9]+$ ]] || die "--big and --pace-us take whole numbers"
[ -x "$driver" ] || die "no flood driver at $driver (cmake --build --preset default --target flood_bench_driver flood_bench_sender, or pass --driver PATH)"
driver=$(cd "$(dirname "$driver")" && pwd)/$(basename "$driver")
sender=$(dirname "$driver")/flood_bench_sender
[ -x "$sender" ] || die "no flood_bench_sender beside the driver (build the flood_bench_sender target)"
for t in Xvfb linphonec kamcmd; do
  command -v "$t" >/dev/null || die "$t not installed (run scripts/setup)"
done

work=$(mktemp -d /tmp/floodbench.XXXXXX)
pids=()      # everything we started in the background, ended by PID
lc_dir=""    # linphonec fixture folder of the run in progress
ok=0
# now, end_pid, cpu_ticks, median, start_xvfb (sets display), cleanup, ...
# shellcheck source=bench/lib.sh
. "$here/lib.sh"
trap 'cleanup flood_bench' EXIT
trap 'exit 130' INT TERM

# Waits up to SECS for a line matching ERE in FILE.
wait_line() { # FILE ERE SECS
  local i
  for i in $(seq 1 $(($3 * 50))); do grep -qE "$2" "$1" 2>/dev/null && return 0; sleep 0.02; done
  return 1
}
# Waits up to SECS for N lines matching ERE in FILE.
wait_lines() { # FILE ERE N SECS
  local i
  for i in $(seq 1 $(($4 * 50))); do [ "$(grep -cE "$2" "$1" 2>/dev/null)" -ge "$3" ] && return 0; sleep 0.02; done
  return 1
}

# The port of USER's binding at the provider (the program's SIP port).
sip_port() {
  "$top/scripts/provider" contacts "$work/provider" "$1" 2>/dev/null |
    sed -n 's/.*@127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' | head -n 1
}

# --- shared fixtures: registrar, sound server, display ---------------------
port=$("$top/scripts/provider" start "$work/provider")
"$top/scripts/pulse" start "$work/pulse" >/dev/null
start_xvfb
write_linphonec_wrapper "$work/bin"


# One run of KIND (ours|linphonec) numbered N; appends a line to results.tsv.
run_one() {
  local kind=$1 n=$2 d="$work/$1-$2" pid user sport
  mkdir -p "$d"
  if [ "$kind" = ours ]; then user=$ours_user; else user=$lc_user; fi
  # cold registrar: the only binding is the one this program makes now
  kamcmd -s "unix:$work/provider/kamailio_ctl" ul.rm location "s:$user" >/dev/null 2>&1 || true

  if [ "$kind" = ours ]; then
    start_ours "$d"; pids+=("$pid")
    wait_line "$d/phone.out" '^status [0-9.]+ Registered and Ready' 30 \
      || die "ours run $n: not registered within 30 s (see $d)"
  else
    lc_dir="$d/lc"
    ( set +u; . "$work/pulse/env"
      export PATH="$work/bin:$PATH" BENCH_T0="$d/t0"
      exec "$top/tests/fixtures/linphonec_register.sh" start "$d/lc" "$port" "$lc_user" "$lc_pass" --wait-secs 30
    ) > "$d/fixture.log" 2>&1 || die "linphonec run $n: not registered (see $d/fixture.log)"
    pid=$(cat "$d/lc/pid")
    [ "$(readlink "/proc/$pid/exe")" = /usr/bin/linphonec ] || die "pid $pid in $d/lc is not linphonec"
  fi
  for _ in $(seq 1 250); do sport=$(sip_port "$user"); [ -n "$sport" ] && break; sleep 0.02; done
  [ -n "$sport" ] || die "$kind run $n: no binding for $user at the provider"

  # --- registered and idle: for ours the gap with nothing going on, to compare
  local idle_gap="-"
  if [ "$kind" = ours ]; then
    ours_cmd "$d" mark
    wait_lines "$d/phone.out" '^marked ' 1 10 || die "ours run $n: no answer to mark (see $d)"
  fi
  sleep "$settle"
  if [ "$kind" = ours ]; then
    ours_cmd "$d" report
    wait_lines "$d/phone.out" '^gap ' 1 10 || die "ours run $n: no answer to report (see $d)"
    idle_gap=$(grep '^gap ' "$d/phone.out" | sed -n 1p | cut -d' ' -f3)
  fi

  # --- the flood
  if [ "$kind" = ours ]; then
    ours_cmd "$d" mark
    wait_lines "$d/phone.out" '^marked ' 2 10 || die "ours run $n: no answer to mark (see $d)"
  fi
  local c0 c1 t0 t1 flood
  c0=$(cpu_ticks "$pid"); t0=$(now)
  flood=$("$sender" "$sport" "$user" --count "$count" --big "$big" --pace-us "$pace") \
    || die "$kind run $n: the flood failed"
  sleep "$after"
  # a program the flood ended has no figures left, only its absence
  c1=$(cpu_ticks "$pid" 2>/dev/null || echo -); t1=$(now)
  echo "$flood" > "$d/flood.txt"
  local gap="-" ticks="-" refused="-"
  if [ "$kind" = ours ] && kill -0 "$pid" 2>/dev/null; then
    ours_cmd "$d" report
    if wait_lines "$d/phone.out" '^gap ' 2 30; then
      read -r _ _ gap ticks refused < <(grep '^gap ' "$d/phone.out" | sed -n 2p)
    else
      echo "flood_bench: ours run $n: no answer to report within 30 s (see $d)" >&2
    fi
  fi

  # --- still standing?
  local alive=no own=no binding=no
  kill -0 "$pid" 2>/dev/null && alive=yes
  if [ "$kind" = ours ]; then
    [ "$(grep '^status ' "$d/phone.out" | tail -n 1 | cut -d' ' -f3-)" = "Registered and Ready..." ] && own=yes
  else
    "$top/tests/fixtures/linphonec_register.sh" status "$d/lc" > "$d/status.txt" 2>&1 && own=yes
  fi
  [ "$(sip_port "$user")" = "$sport" ] && binding=yes

  if [ "$kind" = ours ]; then
    [ "$alive" = no ] || ours_cmd "$d" quit  # nobody would read it from a dead one's pipe
    end_pid "$pid"
  else "$top/tests/fixtures/linphonec_register.sh" stop "$d/lc" >/dev/null; lc_dir=""; fi

  # kind n answer_ms status drain_ms gap_ms ticks cpu_ms window_s drops refused sent bytes alive own binding port idle_gap_ms flood_ms cpu_pct
  local -A f=()
  local kv
  for kv in $flood; do f[${kv%%=*}]=${kv#*=}; done
  awk -v k="$kind" -v n="$n" -v l="${f[last]}" -v a="${f[answer]}" -v s="${f[status]}" -v r="${f[drained]}" \
      -v g="$gap" -v tk="$ticks" -v c="$([ "$c1" = - ] && echo - || echo $((c1 - c0)))" -v hz="$(getconf CLK_TCK)" -v w0="$t0" -v w1="$t1" \
      -v dr="${f[drops]}" -v rf="$refused" -v se="${f[sent]}" -v by="${f[bytes]}" \
      -v al="$alive" -v ow="$own" -v bi="$binding" -v p="$sport" -v ig="$idle_gap" -v fi="${f[first]}" -v cn="$count" 'BEGIN {
    printf "%s\t%d\t%s\t%s\t%s\t%s\t%s\t%s\t%.2f\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", k, n,
      a == "-" ? "-" : sprintf("%.1f", (a - l) * 1000), s, r == "-" ? "-" : sprintf("%.1f", (r - l) * 1000),
      g, tk, c == "-" ? "-" : sprintf("%.0f", c * 1000 / hz), w1 - w0, dr, rf, se, by, al, ow, bi, p, ig,
      se < cn ? "-" : sprintf("%.1f", (l - fi) * 1000), c == "-" ? "-" : sprintf("%.1f", c * 100 / hz / (w1 - w0)) }' | tee -a "$work/results.tsv" >&2
}

echo "flood_bench: provider on 127.0.0.1:$port, display $display, $runs runs each, work $work" >&2
: > "$work/results.tsv"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for n in $(seq 1 "$runs"); do
  # alternate which goes first so drift hits both alike
  if [ $((n % 2)) -eq 1 ]; then run_one ours "$n"; run_one linphonec "$n"
  else run_one linphonec "$n"; run_one ours "$n"; fi
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- report ----------------------------------------------------------------
row() { # label column divisor decimals
  local o l
  o=$(median "$work/results.tsv" ours "$2"); l=$(median "$work/results.tsv" linphonec "$2")
  awk -v t="$1" -v o="$o" -v l="$l" -v d="$3" -v p="$4" 'BEGIN {
    os = (o == "") ? "-" : sprintf("%.*f", p, o / d); ls = (l == "") ? "-" : sprintf("%.*f", p, l / d)
    r = (o == "" || l == "" || l == 0) ? "n/a" : sprintf("%.2f", o / l)
    printf "| %-52s | %10s | %10s | %6s |\n", t, os, ls, r }'
}
# "403 x5" and the like: the answers KIND got, "none" for no answer.
answers() {
  awk -F'\t' -v k="$1" '$1 == k { c[$4 == "-" ? "none" : $4]++ } END { s = ""; for (a in c) s = s (s ? ", " : "") a " x" c[a]; print s }' "$work/results.tsv"
}
# "alive 5/5, says registered 5/5, binding kept 5/5" over the runs of KIND.
standing() {
  awk -F'\t' -v k="$1" '$1 == k { n++; a += $14 == "yes"; o += $15 == "yes"; b += $16 == "yes" }
    END { printf "alive %d/%d, says registered %d/%d, binding kept %d/%d", a, n, o, n, b, n }' "$work/results.tsv"
}
date=$(date +%Y-%m-%d)
mkdir -p "$here/results"
out=$(results_file "$here/results" flood)  # keeps earlier runs
{
  echo "# Flood benchmark, $date"
  echo
  echo "Ours: $(describe_build "$driver") (the phone window with the program's own wiring)."
  echo "Versions: $(dpkg-query -W -f='${Package} ${Version}, ' 'liblinphone1*' linphone-cli kamailio 2>/dev/null | sed 's/, $//')."
  echo "linphonec debug log $([ "${BENCH_LINPHONEC_LOG:-0}" = 1 ] && echo on || echo off). Kamailio, PulseAudio and Xvfb shared by all runs; everything on 127.0.0.1."
  echo "$runs runs each, alternating which program goes first; ours registers as $ours_user, linphonec as $lc_user."
  echo "Flood: $count datagrams ($big of them 65,000-byte requests), $([ "$pace" -gt 0 ] && echo "${pace} µs apart" || echo "back to back"), from one socket, each sent again until it got in; then one OPTIONS from a fresh one."
  echo "Machine: $(machine); load average $load_before before, $load_after after."
  echo
  echo "Medians:"
  echo
  echo "| metric                                               |       ours |  linphonec | ours/linphonec |"
  echo "|------------------------------------------------------|-----------:|-----------:|-------:|"
  row "the flood, first -> last datagram taken in (ms)" 19 1 1
  row "datagrams of the flood that got in" 12 1 0
  row "last datagram -> answer to the clean OPTIONS (ms)" 3 1 1
  row "last datagram -> SIP socket empty (ms)" 5 1 1
  row "longest gap of a 20 ms UI-thread timer (ms)" 6 1 1
  row "  the same over ${settle} s registered and idle (ms)" 18 1 1
  row "CPU from the flood's start until empty + ${after} s (s)" 8 1000 2
  row "  the same in % of one core" 20 1 1
  row "datagrams sent again (dropped: receive buffer full)" 10 1 0
  row "datagrams the SIP filter turned away" 11 1 0
  echo
  echo "Answers to the clean OPTIONS: ours $(answers ours); linphonec $(answers linphonec)."
  echo "After the flood: ours $(standing ours); linphonec $(standing linphonec)."
  echo
  echo "Every run (times in ms from the flood's last datagram; cpu_ms over window_s; status: the answer's code;"
  echo "flood: first -> last datagram in (- when not all got in); cpu_%: cpu_ms over window_s; drops: sent again after the kernel dropped them at the program's socket; refused: turned away by ours' SIP filter, counted"
  echo "from just before the flood, the OPTIONS included; sent/bytes: the flood's datagrams that got in;"
  echo "alive/own/binding: the process lives, it says it is registered, the provider still has its contact at port;
idle_gap: ours' longest gap over ${settle} s registered and idle, before the flood):"
  echo
  echo '```'
  printf 'kind\trun\tanswer\tstatus\tempty\tgap_ms\tticks\tcpu_ms\twindow_s\tdrops\trefused\tsent\tbytes\talive\town\tbinding\tport\tidle_gap\tflood\tcpu_%%\n'
  cat "$work/results.tsv"
  echo '```'
} > "$out"
grep -e '^| ' -e '^Answers' -e '^After the flood' "$out"
echo "written: $out"
ok=1
