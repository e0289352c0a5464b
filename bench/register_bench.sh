#!/usr/bin/env bash
# Registration benchmark: our phone against linphonec (Debian linphone-cli),
# same private Kamailio, same private PulseAudio, both on 127.0.0.1.
# Per run: start -> 200 OK of the REGISTER on the wire, idle CPU while
# registered, resident memory. Medians and ratios go to stdout and to
# bench/results/registration-DATE.md.  See bench/README.md.
#
#   bench/register_bench.sh [--runs N] [--idle SECS] [--expires SECS] [--app PATH] [--wayland] [--keep]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
runs=7 idle=10 expires=200 settle=1 keep=0 wayland=0
app=${SOFTPHONE_APP:-$top/build/default/softphone}
user=1001 pass=1001pw

die() { echo "register_bench: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=${2:?}; shift 2 ;;
    --idle) idle=${2:?}; shift 2 ;;
    --expires) expires=${2:?}; shift 2 ;;
    --app) app=${2:?}; shift 2 ;;
    --wayland) wayland=1; shift ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,8p' "$0" >&2; exit 2 ;;
  esac
done
for n in "$runs" "$idle" "$expires"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || die "--runs, --idle and --expires take positive integers"
done
[ -x "$app" ] || die "no phone at $app (build it, or pass --app PATH)"
app=$(cd "$(dirname "$app")" && pwd)/$(basename "$app")
for t in tcpdump Xvfb linphonec kamcmd $([ "$wayland" = 1 ] && echo weston); do
  command -v "$t" >/dev/null || die "$t not installed (run scripts/setup)"
done
[ "$(id -u)" -eq 0 ] || die "capturing on lo needs root"

work=$(mktemp -d /tmp/regbench.XXXXXX)
pids=()      # everything we started in the background, ended by PID
lc_dir=""    # linphonec fixture folder of the run in progress
ok=0
# now, end_pid, cpu_ticks, mem_kb, median, start_capture, start_xvfb (sets display), cleanup, ...
# shellcheck source=bench/lib.sh
. "$here/lib.sh"
trap 'cleanup register_bench' EXIT
trap 'exit 130' INT TERM

# Reads tcpdump -A text; prints "T_FIRST_REGISTER T_200OK REQUESTED_EXPIRES GRANTED_EXPIRES"
# once a 200 OK to a REGISTER carries a Contact with expires>0.
read_wire() {
  awk '
    function done_packet() {
      if (is_req && t_req == "") t_req = ts
      if (is_req && req_exp != "") asked = req_exp
      if (is_ok && cseq_reg && granted > 0) { print t_req, ts, asked, granted; found = 1; exit }
    }
    /^[0-9]+\.[0-9]+ IP / { done_packet(); ts = $1; is_req = is_ok = cseq_reg = granted = 0; req_exp = ""; next }
    /REGISTER sip:[^ ]* SIP\/2\.0/ { is_req = 1 }
    /SIP\/2\.0 200 / { is_ok = 1 }
    tolower($0) ~ /^cseq: *[0-9]+ register/ { cseq_reg = 1 }
    tolower($0) ~ /^expires: *[0-9]+/ { v = $2; sub(/\..*/, "", v); req_exp = v + 0 }
    tolower($0) ~ /^(contact|m):.*expires=[1-9]/ && granted == 0 {
      v = tolower($0); sub(/.*expires=/, "", v); granted = v + 0 }
    END { if (!found) done_packet() }
  ' "$1"
}

# --- shared fixtures: registrar, sound server, display ---------------------
port=$("$top/scripts/provider" start "$work/provider" --max-expires "$expires")
"$top/scripts/pulse" start "$work/pulse" >/dev/null
# Ours on X11 (Xvfb) or, with --wayland, as a Wayland client of weston's
# headless desktop; linphonec opens no window either way.
if [ "$wayland" = 1 ]; then start_weston; else start_xvfb; fi

# linphonec as the fixture starts it, stamped right before exec.
write_linphonec_wrapper "$work/bin"

# Starts the phone for run folder D; sets pid.
start_ours() {
  local d=$1
  mkdir -p "$d/home" "$d/config/Softphone" "$d/data"
  printf '[Password]\nParameters\\Validation=%s\n[Account]\nParameters\\Validation=%s\n[Sip]\nParameters\\Validation=127.0.0.1:%s\n[User]\nParameters\\Validation=%s\n' \
    "$pass" "$user" "$port" "$user" > "$d/config/Softphone/Softphone.ini"
  chmod 600 "$d/config/Softphone/Softphone.ini"
  ( set +u; . "$work/pulse/env"
    export HOME="$d/home" XDG_CONFIG_HOME="$d/config" XDG_DATA_HOME="$d/data" XDG_CACHE_HOME="$d/home/.cache"
    export SOFTPHONE_BIND_ADDRESS=127.0.0.1
    if [ "$wayland" = 1 ]; then
      unset DISPLAY; export QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$display"
    else
      export DISPLAY="$display" QT_QPA_PLATFORM=xcb
    fi
    printf '%s\n' "$EPOCHREALTIME" > "$d/t0"
    exec "$app" ) > "$d/phone.log" 2>&1 &
  pid=$!
}

# Starts linphonec through the fixture for run folder D; sets fix (the fixture's PID).
start_linphonec() {
  local d=$1
  ( set +u; . "$work/pulse/env"
    export PATH="$work/bin:$PATH" BENCH_T0="$d/t0"
    exec "$top/tests/fixtures/linphonec_register.sh" start "$d/lc" "$port" "$user" "$pass" --wait-secs 30
  ) > "$d/fixture.log" 2>&1 &
  fix=$!
}

# One run of KIND (ours|linphonec) numbered N; appends a line to results.tsv.
run_one() {
  local kind=$1 n=$2 d="$work/$1-$2" pid fix="" tcpd wire="" i
  mkdir -p "$d"
  # cold registrar too: no binding left from an earlier run
  kamcmd -s "unix:$work/provider/kamailio_ctl" ul.rm location "s:$user" >/dev/null 2>&1 || true
  start_capture tcpd "$d/wire.txt" A udp port "$port"

  if [ "$kind" = ours ]; then
    start_ours "$d"; pids+=("$pid")
  else
    lc_dir="$d/lc"; start_linphonec "$d"; pids+=("$fix")
  fi
  for i in $(seq 1 1500); do            # 30 s
    wire=$(read_wire "$d/wire.txt")
    [ -n "$wire" ] && break
    sleep 0.02
  done
  [ -n "$wire" ] || die "$kind run $n: no 200 OK to REGISTER within 30 s (see $d)"
  if [ "$kind" = linphonec ]; then
    pid=$(cat "$d/lc/pid")
    [ "$(readlink "/proc/$pid/exe")" = /usr/bin/linphonec ] || die "pid $pid in $d/lc is not linphonec"
  fi
  local mem_reg; mem_reg=$(mem_kb "$pid")
  if [ -n "$fix" ]; then                 # the fixture's own status polling must be over
    wait "$fix" || die "linphonec fixture failed (see $d/fixture.log)"; forget_pid "$fix"
  fi
  sleep "$settle"
  local c0 c1 t0 t1
  c0=$(cpu_ticks "$pid"); t0=$(now)
  sleep "$idle"
  c1=$(cpu_ticks "$pid"); t1=$(now)
  local mem_idle; mem_idle=$(mem_kb "$pid")

  if [ "$kind" = ours ]; then end_pid "$pid"
  else "$top/tests/fixtures/linphonec_register.sh" stop "$d/lc" >/dev/null; lc_dir=""; fi
  sleep 0.3
  end_pid "$tcpd"
  local left=no
  "$top/scripts/provider" contacts "$work/provider" "$user" >/dev/null 2>&1 && left=yes

  # kind n start_to_200ms start_to_first_register_ms cpu_ms cpu_pct rss_reg hwm_reg rss_idle hwm_idle asked granted left_binding
  local start; start=$(cat "$d/t0")
  read -r t_req t_ok asked granted <<< "$wire"
  awk -v k="$kind" -v n="$n" -v s="$start" -v q="$t_req" -v o="$t_ok" \
      -v c="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" -v a="$t0" -v b="$t1" \
      -v m1="$mem_reg" -v m2="$mem_idle" -v ex="$asked" -v gr="$granted" -v l="$left" 'BEGIN {
    ms = c * 1000 / hz; split(m1, r); split(m2, i)
    printf "%s\t%d\t%.1f\t%.1f\t%.0f\t%.2f\t%d\t%d\t%d\t%d\t%s\t%s\t%s\n", k, n, (o - s) * 1000, (q - s) * 1000,
      ms, ms / ((b - a) * 1000) * 100, r[1], r[2], i[1], i[2], ex, gr, l }' | tee -a "$work/results.tsv" >&2
}

echo "register_bench: provider on 127.0.0.1:$port, display $display, $runs runs each, work $work" >&2
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
    printf "| %-38s | %10.*f | %10.*f | %6s |\n", t, p, o / d, p, l / d, (l == 0 ? "n/a" : sprintf("%.2f", o / l)) }'
}
date=$(date +%Y-%m-%d)
mkdir -p "$here/results"
out=$(results_file "$here/results" registration)  # keeps earlier runs
{
  echo "# Registration benchmark, $date"
  echo
  echo "Ours: $(describe_build "$app")."
  echo "Peer: linphonec $(dpkg-query -W -f='${Version}' linphone-cli 2>/dev/null), debug log $([ "${BENCH_LINPHONEC_LOG:-0}" = 1 ] && echo on || echo off)."
  echo "Ours on $([ "$wayland" = 1 ] && echo "Wayland (weston $(dpkg-query -W -f='${Version}' weston 2>/dev/null), headless, pixman)" || echo "X11 (Xvfb)")."
  echo "Kamailio on 127.0.0.1, max expiry $expires s; $runs runs each, alternating; idle window ${idle} s after ${settle} s settling."
  echo "Machine: $(machine); load average $load_before before, $load_after after."
  echo
  echo "Medians:"
  echo
  echo "| metric                                 |       ours |  linphonec | ours/linphonec |"
  echo "|----------------------------------------|-----------:|-----------:|-------:|"
  row "start -> 200 OK to REGISTER (ms)" 3 1 0
  row "start -> first REGISTER sent (ms)" 4 1 0
  row "idle CPU over ${idle} s (ms)" 5 1 0
  row "idle CPU (% of one core)" 6 1 2
  row "VmRSS once registered (MiB)" 7 1024 1
  row "VmHWM once registered (MiB)" 8 1024 1
  row "VmRSS after idle (MiB)" 9 1024 1
  row "VmHWM after idle (MiB)" 10 1024 1
  echo
  echo "Every run (times in ms, memory in kB; asked/granted = REGISTER Expires / 200 OK contact expires;"
  echo "left = the account still had a binding after the process was ended):"
  echo
  echo '```'
  printf 'kind\trun\tto_200\tto_reg\tcpu_ms\tcpu_%%\trss_reg\thwm_reg\trss_idle\thwm_idle\tasked\tgranted\tleft\n'
  cat "$work/results.tsv"
  echo '```'
} > "$out"
grep '^| ' "$out"
echo "written: $out"
ok=1
