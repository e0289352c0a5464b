#!/usr/bin/env bash
# Window-wait benchmark: how long the phone window's thread is held back
# during an incoming call with the audio wizard open. Our phone registers at
# a private Kamailio (private PulseAudio and Xvfb, all on 127.0.0.1); a SIPp
# caller calls it; the driver answers with the call key, opens the wizard
# with its key, cancels it and ends the call with the end key. A 5 ms timer
# on the UI thread keeps its gaps per phase. Each run is made once quiet and
# once with OPTIONS flowing to the phone through the provider ("loaded").
# Medians and worst go to stdout and to bench/results/waits-DATE.md.
#
#   bench/wait_bench.sh [--runs N] [--ring SECS] [--wizard SECS] [--rate N] [--driver PATH] [--keep]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
runs=5 ring=7 wizard=10 rate=200 idle=2 keep=0
driver=${SOFTPHONE_WAIT_DRIVER:-$top/build/default/bench/wait_bench_driver}
ours_user=1001 ours_pass=1001pw

die() { echo "wait_bench: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=${2:?}; shift 2 ;;
    --ring) ring=${2:?}; shift 2 ;;
    --wizard) wizard=${2:?}; shift 2 ;;
    --rate) rate=${2:?}; shift 2 ;;
    --driver) driver=${2:?}; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,11p' "$0" >&2; exit 2 ;;
  esac
done
for n in "$runs" "$ring" "$wizard" "$rate"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || die "--runs, --ring, --wizard and --rate take positive integers"
done
[ "$wizard" -le 20 ] || die "--wizard: at most 20 s (the caller hangs up 30 s after the answer)"
[ -x "$driver" ] || die "no wait driver at $driver (cmake --build --preset default --target wait_bench_driver, or pass --driver PATH)"
driver=$(cd "$(dirname "$driver")" && pwd)/$(basename "$driver")
for t in Xvfb sipp kamcmd tcpdump python3; do
  command -v "$t" >/dev/null || die "$t not installed (run scripts/setup)"
done
[ "$(id -u)" -eq 0 ] || die "run as root: the RTP of the call is counted with tcpdump on lo"

work=$(mktemp -d /tmp/waitbench.XXXXXX)
pids=()      # everything we started in the background, ended by PID
lc_dir=""    # no linphonec here; lib.sh's cleanup reads it
ok=0
# now, end_pid, start_capture, start_xvfb (sets display), median, cleanup, ...
# shellcheck source=bench/lib.sh
. "$here/lib.sh"
trap 'cleanup wait_bench' EXIT
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
free_port() { python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# An even port whose neighbour is free too (RTP and RTCP).
free_media_port() {
  python3 - <<'PY'
import random, socket
for _ in range(200):
    p = random.randrange(10000, 15000) * 2
    a, b = socket.socket(socket.AF_INET, socket.SOCK_DGRAM), socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        a.bind(("127.0.0.1", p)); b.bind(("127.0.0.1", p + 1)); print(p); break
    except OSError:
        pass
    finally:
        a.close(); b.close()
PY
}
# RTP packets per second each way over [T0, T1] at the caller's media port
# (tcpdump -q text): "TO_CALLER FROM_CALLER".
rtp_rates() { # FILE MEDIA T0 T1
  awk -v m="$2" -v a="$3" -v b="$4" '
    function pport(s) { sub(/:$/, "", s); n = split(s, x, "."); return x[n] + 0 }
    / IP / && $1 >= a && $1 <= b { if (pport($5) == m) to++; else if (pport($3) == m) from++ }
    END { printf "%.1f %.1f\n", to / (b - a), from / (b - a) }' "$1"
}
# Waits up to SECS until 25 RTP packets (half a second) went to the caller's
# media port (tcpdump -q text).
rtp_flowing() { # FILE MEDIA SECS
  local i
  for i in $(seq 1 $(($3 * 50))); do
    [ "$(awk -v m="$2" '/ IP / { p = $5; sub(/:$/, "", p); n = split(p, x, "."); if (x[n] == m) c++ } END { print c + 0 }' "$1")" -ge 25 ] && return 0
    sleep 0.02
  done
  return 1
}
# utime+stime in clock ticks of PID's thread named "engine" (the engine's
# own thread); "-" when there is none.
engine_ticks() {
  local t s
  for t in /proc/"$1"/task/*; do
    [ "$(cat "$t/comm" 2>/dev/null)" = engine ] || continue
    s=$(< "$t/stat"); s=${s##*) }; local -a f; read -ra f <<< "$s"
    echo $((f[11] + f[12])); return
  done
  echo -
}

# --- shared fixtures: registrar, sound server, display ---------------------
port=$("$top/scripts/provider" start "$work/provider")
"$top/scripts/pulse" start "$work/pulse" >/dev/null
start_xvfb
sipp_common=(-i 127.0.0.1 -mi 127.0.0.1 -ci 127.0.0.1 -nostdin)


# One run in MODE (quiet|loaded) numbered N; appends a line per phase to
# phases.tsv and one to runs.tsv.
run_one() {
  local mode=$1 n=$2 d="$work/$1-$2" pid load_pid="" caller_pid rtpd media e0 e1 t0 t1
  mkdir -p "$d"
  kamcmd -s "unix:$work/provider/kamailio_ctl" ul.rm location "s:$ours_user" >/dev/null 2>&1 || true
  start_ours "$d"; pids+=("$pid")
  wait_line "$d/phone.out" '^status [0-9.]+ Registered and Ready' 30 \
    || die "$mode run $n: not registered within 30 s (see $d)"

  if [ "$mode" = loaded ]; then
    sipp 127.0.0.1:"$port" -sf "$here/options_load.xml" -s "$ours_user" -r "$rate" -rp 1000 \
      -p "$(free_port)" "${sipp_common[@]}" -trace_stat -stf "$d/load.csv" -fd 1 \
      -trace_err -error_file "$d/load-errors.log" > "$d/load.log" 2>&1 &
    load_pid=$!; pids+=("$load_pid")
    sleep 1
    kill -0 "$load_pid" 2>/dev/null || die "$mode run $n: the OPTIONS load ended at once (see $d/load.log)"
  fi
  media=$(free_media_port)
  [ -n "$media" ] || die "no free media port pair"
  start_capture rtpd "$d/rtp.txt" q udp port "$media"

  e0=$(engine_ticks "$pid"); t0=$(now)
  ours_cmd "$d" "phase idle"
  sleep "$idle"
  ours_cmd "$d" "phase arrive" "span call"
  timeout 90 sipp 127.0.0.1:"$port" -sf "$top/tests/fixtures/sipp/uac_incoming.xml" -s "$ours_user" \
    -au alice -ap alice-secret -key caller alice -p "$(free_port)" -mp "$media" -rtp_echo -m 1 \
    "${sipp_common[@]}" -trace_msg -message_file "$d/caller.msg" -trace_err -error_file "$d/caller-errors.log" \
    > "$d/caller.log" 2>&1 &
  caller_pid=$!; pids+=("$caller_pid")
  wait_line "$d/phone.out" '^status [0-9.]+ Incoming' 15 || die "$mode run $n: the call did not ring (see $d)"
  ours_cmd "$d" "phase ring"
  sleep "$ring"
  ours_cmd "$d" "phase answer" answer
  wait_line "$d/phone.out" '^status [0-9.]+ CONNECTED' 15 || die "$mode run $n: the answer did not connect (see $d)"
  # the phone's audio starts some time after CONNECTED: the wizard opens on
  # a call whose RTP flows
  rtp_flowing "$d/rtp.txt" "$media" 15 || die "$mode run $n: no RTP from the phone within 15 s of the answer (see $d)"
  sleep 0.5
  ours_cmd "$d" "phase wizard-open" wizard
  wait_line "$d/phone.out" '^wizard [0-9.]+ opened' 15 || die "$mode run $n: the audio wizard did not open (see $d)"
  ours_cmd "$d" "phase wizard"
  sleep "$wizard"
  ours_cmd "$d" "phase cancel" cancel
  wait_line "$d/phone.out" '^wizard [0-9.]+ closed' 15 || die "$mode run $n: the audio wizard did not close (see $d)"
  ours_cmd "$d" "phase end" end
  wait_line "$d/phone.out" '^status [0-9.]+ DISCONNECTED' 15 || die "$mode run $n: the end key did not end the call (see $d)"
  sleep 1
  ours_cmd "$d" "phase -" "span -"
  wait_lines "$d/phone.out" '^(phase|span) ' 9 15 || die "$mode run $n: the driver did not report every phase (see $d)"
  e1=$(engine_ticks "$pid"); t1=$(now)
  ! grep -q '^error ' "$d/phone.out" || die "$mode run $n: the driver could not carry a command out (see $d/phone.out)"

  local caller_rc=0
  wait "$caller_pid" || caller_rc=$?
  forget_pid "$caller_pid"
  [ "$caller_rc" -eq 0 ] || die "$mode run $n: the caller's scenario failed, sipp exit $caller_rc (see $d)"
  grep -q '^BYE ' "$d/caller.msg" || die "$mode run $n: the caller never got our BYE (see $d/caller.msg)"

  local answered=- failed=- elapsed=-
  if [ -n "$load_pid" ]; then
    kill -0 "$load_pid" 2>/dev/null || die "$mode run $n: the OPTIONS load ended during the run (see $d/load.log)"
    sleep 1.2 # one more line of its statistics
    end_pid "$load_pid"
    # cumulative counts and time (h:m:s), last line of SIPp's statistics
    read -r answered failed elapsed < <(awk -F';' 'NR == 1 { for (i = 1; i <= NF; i++) {
        if ($i == "SuccessfulCall(C)") s = i; if ($i == "FailedCall(C)") f = i; if ($i == "ElapsedTime(C)") e = i } }
      NR > 1 { a = $s; b = $f; split($e, x, ":"); c = x[1] * 3600 + x[2] * 60 + x[3] } END { print a + 0, b + 0, c + 0 }' "$d/load.csv")
    [ "$answered" -gt 0 ] || die "$mode run $n: the phone answered none of the OPTIONS load (see $d/load.log)"
  fi
  # the close key's wait: the phone unregisters and shuts down inside it
  ours_cmd "$d" quit
  wait_line "$d/phone.out" '^closed ' 15 || die "$mode run $n: the window did not close (see $d)"
  local closed
  closed=$(grep -m1 '^closed ' "$d/phone.out" | cut -d' ' -f3)
  end_pid "$pid"
  end_pid "$rtpd"

  # RTP over the wizard phase: it ended at T, SECONDS long.
  local wt ws rtp
  read -r _ wt _ _ _ _ _ ws < <(grep '^phase [0-9.]* wizard ' "$d/phone.out")
  rtp=$(rtp_rates "$d/rtp.txt" "$media" "$(awk -v t="$wt" -v s="$ws" 'BEGIN { printf "%.6f", t - s }')" "$wt")

  # phases.tsv: mode:phase run longest_ms p99_ms over20 ticks seconds, and of the longest
  # gap: asleep_ms queued_ms cpu_ms (the span is phase "call")
  grep -E '^(phase|span) ' "$d/phone.out" | awk -v m="$mode" -v n="$n" '{
    printf "%s:%s\t%d\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", m, $3, n, $4, $5, $6, $7, $8,
      $9 == "-" ? "-" : sprintf("%.1f", $4 - $9 - $10), $10, $9 }' \
    >> "$work/phases.tsv"
  # runs.tsv: mode run rtp_to rtp_from engine_cpu_% span_s options_answered options_failed options_per_s close_ms
  awk -v m="$mode" -v n="$n" -v r="$rtp" -v e0="$e0" -v e1="$e1" -v hz="$(getconf CLK_TCK)" -v a="$t0" -v b="$t1" \
      -v ok="$answered" -v ko="$failed" -v el="$elapsed" -v cl="$closed" 'BEGIN {
    split(r, x, " ")
    printf "%s\t%d\t%s\t%s\t%s\t%.1f\t%s\t%s\t%s\t%s\n", m, n, x[1], x[2],
      (e0 == "-" || e1 == "-") ? "-" : sprintf("%.1f", (e1 - e0) * 100 / hz / (b - a)), b - a, ok, ko,
      (ok == "-" || el <= 0) ? "-" : sprintf("%.0f", ok / el), cl }' | tee -a "$work/runs.tsv" >&2
}

echo "wait_bench: provider on 127.0.0.1:$port, display $display, $runs runs in each mode, work $work" >&2
: > "$work/phases.tsv"; : > "$work/runs.tsv"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for n in $(seq 1 "$runs"); do
  # alternate which goes first so drift hits both alike
  if [ $((n % 2)) -eq 1 ]; then run_one quiet "$n"; run_one loaded "$n"
  else run_one loaded "$n"; run_one quiet "$n"; fi
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- report ----------------------------------------------------------------
worst() { awk -F'\t' -v k="$2" -v c="$3" '$1 == k && (w == "" || $c > w) { w = $c } END { print w }' "$1"; }
# one decimal, "-" for none (a median of an even number of runs can fall between two)
fmt() { awk -v v="$1" 'BEGIN { if (v == "") print "-"; else printf "%.1f\n", v }'; }
row() { # label phase
  printf '| %-46s |' "$1"
  for mode in quiet loaded; do
    printf ' %7s | %7s | %7s | %5s |' "$(fmt "$(median "$work/phases.tsv" "$mode:$2" 3)")" "$(fmt "$(worst "$work/phases.tsv" "$mode:$2" 3)")" \
      "$(fmt "$(median "$work/phases.tsv" "$mode:$2" 4)")" "$(median "$work/phases.tsv" "$mode:$2" 5)"
  done
  echo
}
# The longest gap of a phase in three parts, medians over the runs of each:
# asleep (waiting for the engine's thread, or for the next tick), waiting
# for a CPU, running.
split_row() { # label phase
  printf '| %-46s |' "$1"
  for mode in quiet loaded; do
    printf ' %7s | %7s | %7s |' "$(fmt "$(median "$work/phases.tsv" "$mode:$2" 8)")" \
      "$(fmt "$(median "$work/phases.tsv" "$mode:$2" 9)")" "$(fmt "$(median "$work/phases.tsv" "$mode:$2" 10)")"
  done
  echo
}
rmedian() { median "$work/runs.tsv" "$1" "$2"; }
date=$(date +%Y-%m-%d)
mkdir -p "$here/results"
out=$(results_file "$here/results" waits)  # keeps earlier runs
{
  echo "# Window-wait benchmark, $date"
  echo
  echo "Ours: $(describe_build "$driver") (the phone window with the program's own wiring)."
  echo "Versions: $(dpkg-query -W -f='${Package} ${Version}, ' 'liblinphone1*' libqt6widgets6 kamailio sip-tester 2>/dev/null | sed 's/, $//')."
  echo "Kamailio, PulseAudio and Xvfb shared by all runs; everything on 127.0.0.1. $runs runs in each mode, alternating which mode goes first; each a cold start of the phone, registered as $ours_user."
  echo "The call: SIPp \`uac_incoming.xml -rtp_echo\` as alice through the provider, ringing ${ring} s, answered with the call key; once its audio flowed the audio wizard opened with its key and kept open ${wizard} s, then its Cancel, then the end key."
  echo "Loaded: SIPp \`bench/options_load.xml\`, $rate OPTIONS a second to $ours_user through the provider, each answered by the phone, from 1 s before the idle phase to the end of the call; quiet: none."
  echo "Machine: $(machine); load average $load_before before, $load_after after."
  echo
  echo "Gaps between the ticks of a 5 ms \`Qt::PreciseTimer\` on the UI thread, in ms: median and worst over the runs of each"
  echo "phase's longest gap, median of its 99th percentile, median count of its gaps over 20 ms."
  echo
  echo "| phase                                          |   quiet: longest | worst |   p99 | >20ms |  loaded: longest | worst |   p99 | >20ms |"
  echo "|------------------------------------------------|--------:|--------:|--------:|------:|--------:|--------:|--------:|------:|"
  row "idle: registered, before the call (${idle} s)" idle
  row "arrive: INVITE until the status says Incoming" arrive
  row "ring: the call ringing (${ring} s, a ring every 2 s)" ring
  row "answer: call key until RTP flows + 0.5 s" answer
  row "wizard-open: wizard key until the wizard is up" wizard-open
  row "wizard: connected, wizard open (${wizard} s)" wizard
  row "cancel: Cancel until the wizard key returns" cancel
  row "end: end key until DISCONNECTED + 1 s" end
  row "the whole call, arrive to end" call
  echo
  echo "What the UI thread did during each phase's longest gap (its schedstat), ms, medians over the runs of each part"
  echo "alone: asleep (waiting for the engine's thread, or for its next tick: 5 ms of a gap is the timer's own wait; time"
  echo "the virtual machine's host took shows here too), ready to run but without a CPU (the machine busy), running (its own work)."
  echo
  echo "| phase                                          |  quiet: asleep | no CPU | running | loaded: asleep | no CPU | running |"
  echo "|------------------------------------------------|--------:|--------:|--------:|--------:|--------:|--------:|"
  for ph in idle arrive ring answer wizard-open wizard cancel end; do split_row "$ph" "$ph"; done
  split_row "the whole call" call
  echo
  echo "While the wizard was open (medians): RTP to the caller $(rmedian quiet 3) / $(rmedian loaded 3) packets/s, from it $(rmedian quiet 4) / $(rmedian loaded 4) (quiet / loaded)."
  echo "CPU of the engine's thread from the idle phase to the end, % of one core (medians): quiet $(rmedian quiet 5), loaded $(rmedian loaded 5)."
  echo "After the call, the window's close (the phone unregistering and shutting down inside it), ms: quiet median $(rmedian quiet 10), worst $(worst "$work/runs.tsv" quiet 10); loaded median $(rmedian loaded 10), worst $(worst "$work/runs.tsv" loaded 10)."
  echo "OPTIONS answered by the phone in the loaded runs (median per run): $(rmedian loaded 7), about $(rmedian loaded 9) a second; failed: $(rmedian loaded 8)."
  echo
  echo "linphonec has no window, so it has no window's thread to hold back: this figure has no counterpart there, and no"
  echo "linphonec column is given."
  echo
  echo "Every phase of every run (mode:phase, run, longest_ms, p99_ms, gaps over 20 ms, ticks, seconds, and the longest gap's"
  echo "asleep_ms, no_cpu_ms, running_ms; \"call\" is arrive to end):"
  echo
  echo '```'
  sort -t$'\t' -k1,1 -k2,2n "$work/phases.tsv"
  echo '```'
  echo
  echo "Every run (rtp_to/rtp_from: packets/s to/from the caller's media port while the wizard was open; engine_%: CPU of"
  echo "the engine's thread over span_s; options: answered and failed OPTIONS of the load, and answered per second;"
  echo "close_ms: the window's close after the call):"
  echo
  echo '```'
  printf 'mode\trun\trtp_to\trtp_from\tengine_%%\tspan_s\tanswered\tfailed\tper_s\tclose_ms\n'
  cat "$work/runs.tsv"
  echo '```'
} > "$out"
grep -e '^| ' -e '^While' -e '^CPU' -e '^After the call' -e '^OPTIONS' "$out"
echo "written: $out"
ok=1
