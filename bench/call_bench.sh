#!/usr/bin/env bash
# Call benchmark: our phone against linphonec (Debian linphone-cli), each
# calling the same echo peer (SIPp, number 2000) through the same private
# Kamailio, with the same private PulseAudio, all on 127.0.0.1.
# Per run: end of the last key-tone pause (linphonec: `call` written to its
# stdin) -> INVITE on the wire, INVITE -> 200 OK on the wire; in the first
# talk runs also CPU and memory of the caller over a connected call.
# Medians and ratios go to stdout and to bench/results/calls-DATE.md.
#
#   bench/call_bench.sh [--runs N] [--talk SECS] [--talk-calls K] [--ec on|off] [--driver PATH] [--keep]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
runs=5 talk=60 talk_calls=3 settle=2 keep=0 ec=on
driver=${SOFTPHONE_CALL_DRIVER:-$top/build/bench/bench/call_bench_driver}
number=2000 echo_pass=echo-2000    # the echo peer's account (tests/fixtures/users)
ours_user=1001 ours_pass=1001pw lc_user=1002 lc_pass=1002pw

die() { echo "call_bench: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=${2:?}; shift 2 ;;
    --talk) talk=${2:?}; shift 2 ;;
    --talk-calls) talk_calls=${2:?}; shift 2 ;;
    --driver) driver=${2:?}; shift 2 ;;
    --ec) ec=${2:?}; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,10p' "$0" >&2; exit 2 ;;
  esac
done
for n in "$runs" "$talk" "$talk_calls"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || die "--runs, --talk and --talk-calls take positive integers"
done
[ "$ec" = on ] || [ "$ec" = off ] || die "--ec takes on or off"
# Both callers get the same echo canceller setting, said out loud.
ec_flag=1; [ "$ec" = off ] && ec_flag=0
[ "$talk_calls" -le "$runs" ] || die "--talk-calls ($talk_calls) cannot exceed --runs ($runs)"
[ -x "$driver" ] || die "no call driver at $driver (cmake -S . -B build/bench -G Ninja -DSOFTPHONE_TESTS=ON && ninja -C build/bench call_bench_driver, or pass --driver PATH)"
driver=$(cd "$(dirname "$driver")" && pwd)/$(basename "$driver")
for t in tcpdump Xvfb linphonec sipp kamcmd pactl python3; do
  command -v "$t" >/dev/null || die "$t not installed (run scripts/setup)"
done
[ "$(id -u)" -eq 0 ] || die "capturing on lo needs root"

work=$(mktemp -d /tmp/callbench.XXXXXX)
pids=()      # everything we started in the background, ended by PID
lc_dir=""    # linphonec fixture folder of the run in progress
ok=0
# now, end_pid, cpu_ticks, mem_kb, median, start_capture, start_xvfb (sets display), cleanup, ...
# shellcheck source=bench/lib.sh
. "$here/lib.sh"
trap 'cleanup call_bench' EXIT
trap 'exit 130' INT TERM

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

# Reads tcpdump -A text of the provider's port. Once the caller has
# acknowledged the answer prints "T_INVITE T_407 T_INVITE2 T_200 T_ACK": the
# caller's first INVITE to the provider, the provider's 407 to it (or "-"),
# the caller's INVITE with credentials (or "-"), the 200 OK to an INVITE of
# that Call-ID relayed back to the caller, and the caller's ACK to it.
# Packets from and to the echo peer (ECHO) are the provider's other leg.
read_call() { # FILE PORT ECHO
  awk -v port="$2" -v peer="$3" '
    function pport(a) { sub(/:$/, "", a); n = split(a, x, "."); return x[n] + 0 }
    function done_packet() {
      if (ts == "") return
      if (is_inv && dport == port && sport != peer) {
        if (t_inv == "") { t_inv = ts; callid = cid; caller = sport }
        else if (cid == callid && t_inv2 == "-" && t_407 != "-") t_inv2 = ts
      }
      if (cid == callid && callid != "" && sport == port && dport == caller && cseq_inv) {
        if (code == 407 && t_407 == "-") t_407 = ts
        if (code == 200 && t_200 == "") t_200 = ts
      }
      if (is_ack && t_200 != "" && cid == callid && sport == caller && dport == port) {
        print t_inv, t_407, t_inv2, t_200, ts; found = 1; exit }
    }
    BEGIN { t_407 = t_inv2 = "-" }
    { sub(/\r$/, "") }
    /^[0-9]+\.[0-9]+ IP / {
      done_packet(); ts = $1; sport = pport($3); dport = pport($5)
      is_inv = is_ack = cseq_inv = code = 0; cid = ""; next }
    /INVITE sip:[^ ]* SIP\/2\.0/ { is_inv = 1 }
    /ACK sip:[^ ]* SIP\/2\.0/ { is_ack = 1 }
    /SIP\/2\.0 [0-9][0-9][0-9] / { v = $0; sub(/.*SIP\/2\.0 /, "", v); code = substr(v, 1, 3) + 0 }
    tolower($0) ~ /^(call-id|i): */ { v = $0; sub(/^[^:]*: */, "", v); cid = v }
    tolower($0) ~ /^cseq: *[0-9]+ invite/ { cseq_inv = 1 }
    END { if (!found) done_packet() }
  ' "$1"
}

# Whether the caller's BYE got its 200 OK (tcpdump -A text).
bye_answered() {
  awk '
    /^[0-9]+\.[0-9]+ IP / { if (ok && bye) { found = 1; exit } ok = bye = 0; next }
    /SIP\/2\.0 200 / { ok = 1 }
    tolower($0) ~ /^cseq: *[0-9]+ bye/ { bye = 1 }
    END { if (ok && bye) found = 1; exit !found }
  ' "$1"
}

# RTP packets per second each way over [T0, T1] at the echo peer's media
# port (tcpdump -q text): "TO_PEER FROM_PEER".
rtp_rates() { # FILE MEDIA T0 T1
  awk -v m="$2" -v a="$3" -v b="$4" '
    function pport(s) { sub(/:$/, "", s); n = split(s, x, "."); return x[n] + 0 }
    / IP / && $1 >= a && $1 <= b { if (pport($5) == m) to++; else if (pport($3) == m) from++ }
    END { printf "%.1f %.1f\n", to / (b - a), from / (b - a) }' "$1"
}

# PulseAudio streams of PID: "PLAYBACK/CAPTURE".
pulse_streams() {
  local out inn
  out=$(set +u; . "$work/pulse/env"; pactl list sink-inputs | grep -c "application.process.id = \"$1\"" || true)
  inn=$(set +u; . "$work/pulse/env"; pactl list source-outputs | grep -c "application.process.id = \"$1\"" || true)
  echo "$out/$inn"
}

# Waits up to SECS for a line matching ERE in FILE.
wait_line() { # FILE ERE SECS
  local i
  for i in $(seq 1 $(($3 * 50))); do grep -qE "$2" "$1" 2>/dev/null && return 0; sleep 0.02; done
  return 1
}

# --- shared fixtures: registrar, sound server, display, echo peer ----------
port=$("$top/scripts/provider" start "$work/provider")
"$top/scripts/pulse" start "$work/pulse" >/dev/null
start_xvfb
write_linphonec_wrapper "$work/bin"

# The echo peer: register 2000 from the port it will listen on, then answer
# and echo every call (no -m: it serves all the runs).
echo_port=$(free_port)
echo_media=$(free_media_port)
[ -n "$echo_media" ] || die "no free media port pair"
sipp_common=(-i 127.0.0.1 -mi 127.0.0.1 -ci 127.0.0.1 -nostdin -p "$echo_port")
sipp 127.0.0.1:"$port" -sf "$top/tests/fixtures/sipp/register_auth.xml" -s "$number" -au "$number" -ap "$echo_pass" \
  -key expires 3600 -m 1 "${sipp_common[@]}" -trace_err -error_file "$work/echo-register-errors.log" \
  > "$work/echo-register.log" 2>&1 || die "the echo peer could not register $number (see $work/echo-register.log)"
"$top/scripts/provider" contacts "$work/provider" "$number" >/dev/null || die "no binding for $number after registering the echo peer"
sipp -sf "$top/tests/fixtures/sipp/uas_echo.xml" -rtp_echo -mp "$echo_media" "${sipp_common[@]}" \
  -trace_err -error_file "$work/echo-errors.log" > "$work/echo.log" 2>&1 &
echo_pid=$!; pids+=("$echo_pid")
for _ in $(seq 1 250); do
  grep -qi "$(printf '0100007F:%04X ' "$echo_port")" /proc/net/udp && break
  kill -0 "$echo_pid" 2>/dev/null || die "the echo peer ended at once (see $work/echo.log)"
  sleep 0.02
done


# One run of KIND (ours|linphonec) numbered N, holding the call for TALK
# seconds with measurement when TALK > 0; appends a line to results.tsv.
run_one() {
  local kind=$1 n=$2 hold=$3 d="$work/$1-$2" pid tcpd rtpd wire="" i
  mkdir -p "$d"
  start_capture tcpd "$d/wire.txt" A udp port "$port"
  start_capture rtpd "$d/rtp.txt" q udp port "$echo_media"

  if [ "$kind" = ours ]; then
    start_ours "$d" SOFTPHONE_ECHO_CANCELLATION="$ec_flag"; pids+=("$pid")
    wait_line "$d/phone.out" '^status [0-9.]+ Registered and Ready' 30 \
      || die "ours run $n: not registered within 30 s (see $d)"
  else
    lc_dir="$d/lc"
    ( set +u; . "$work/pulse/env"
      export PATH="$work/bin:$PATH" BENCH_T0="$d/t0" BENCH_LINPHONEC_EC=$ec_flag
      exec "$top/tests/fixtures/linphonec_register.sh" start "$d/lc" "$port" "$lc_user" "$lc_pass" --wait-secs 30
    ) > "$d/fixture.log" 2>&1 || die "linphonec run $n: not registered (see $d/fixture.log)"
    pid=$(cat "$d/lc/pid")
    [ "$(readlink "/proc/$pid/exe")" = /usr/bin/linphonec ] || die "pid $pid in $d/lc is not linphonec"
  fi
  sleep "$settle"
  local mem_idle; mem_idle=$(mem_kb "$pid")

  # --- the call: stamp, dial, wait for the answer on the wire
  local t_cmd t_start pauses="-"
  if [ "$kind" = ours ]; then
    t_cmd=$(now); ours_cmd "$d" "dial $number"
    wait_line "$d/phone.out" '^dialled ' 10 || die "ours run $n: the call key did not return (see $d)"
    read -r _ t_start pauses < <(grep -m1 '^dialled ' "$d/phone.out")
    [ "$pauses" -eq "${#number}" ] || die "ours run $n: $pauses tone pauses for ${#number} digits (see $d)"
    ! grep -q '^message ' "$d/phone.out" || die "ours run $n: $(grep -m1 '^message ' "$d/phone.out")"
  else
    t_cmd=$(now); printf 'call sip:%s@127.0.0.1:%s\n' "$number" "$port" > "$d/lc/cmd"
    t_start=$t_cmd
  fi
  for i in $(seq 1 750); do            # 15 s
    wire=$(read_call "$d/wire.txt" "$port" "$echo_port")
    [ -n "$wire" ] && break
    sleep 0.02
  done
  [ -n "$wire" ] || die "$kind run $n: the call to $number was not answered within 15 s (see $d)"
  if [ "$kind" = ours ]; then
    wait_line "$d/phone.out" '^status [0-9.]+ CONNECTED' 10 || die "ours run $n: answered on the wire but not CONNECTED (see $d)"
  else
    wait_line "$d/lc/linphonec.out" 'connected' 10 || die "linphonec run $n: answered on the wire but not connected (see $d)"
  fi

  # --- the connected call
  local cpu=$'-\t-\t-' mem_call="- -" rtp="- -" streams="-"
  sleep 1
  if [ "$hold" -gt 0 ]; then
    local c0 c1 t0 t1
    c0=$(cpu_ticks "$pid"); t0=$(now)
    sleep "$hold"
    c1=$(cpu_ticks "$pid"); t1=$(now)
    mem_call=$(mem_kb "$pid")
    streams=$(pulse_streams "$pid")
    rtp=$(rtp_rates "$d/rtp.txt" "$echo_media" "$t0" "$t1")
    cpu=$(awk -v c="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" -v a="$t0" -v b="$t1" 'BEGIN {
      ms = c * 1000 / hz; printf "%.1f\t%.0f\t%.2f", b - a, ms, ms / ((b - a) * 1000) * 100 }')
  fi

  # --- hang up, then end the program
  if [ "$kind" = ours ]; then ours_cmd "$d" hangup
  else "$top/tests/fixtures/linphonec_register.sh" cmd "$d/lc" terminate; fi
  for _ in $(seq 1 500); do bye_answered "$d/wire.txt" && break; sleep 0.02; done
  bye_answered "$d/wire.txt" || die "$kind run $n: the hang-up was not answered within 10 s (see $d)"
  if [ "$kind" = ours ]; then ours_cmd "$d" quit; end_pid "$pid"
  else "$top/tests/fixtures/linphonec_register.sh" stop "$d/lc" >/dev/null; lc_dir=""; fi
  sleep 0.3
  end_pid "$tcpd"; end_pid "$rtpd"

  # kind n cmd_to_invite to_invite setup inv_to_407 407_to_inv2 inv2_to_200 200_to_ack pauses
  #   talk_s cpu_ms cpu_% rss_idle rss_call hwm_call rtp_to_peer rtp_from_peer pulse
  read -r t_inv t_407 t_inv2 t_200 t_ack <<< "$wire"
  local mi mc; read -ra mi <<< "$mem_idle"; read -ra mc <<< "$mem_call"
  local rr; read -ra rr <<< "$rtp"
  awk -v k="$kind" -v n="$n" -v c="$t_cmd" -v s="$t_start" -v i="$t_inv" -v p="$t_407" -v j="$t_inv2" -v o="$t_200" -v a="$t_ack" 'BEGIN {
    ch = (p != "-" && j != "-")  # challenged: the parts of the setup
    printf "%s\t%d\t%.1f\t%.1f\t%.1f\t%s\t%s\t%s\t%.1f", k, n, (i - c) * 1000, (i - s) * 1000, (o - i) * 1000,
      ch ? sprintf("%.1f", (p - i) * 1000) : "-", ch ? sprintf("%.1f", (j - p) * 1000) : "-",
      ch ? sprintf("%.1f", (o - j) * 1000) : "-", (a - o) * 1000 }' \
    | tee -a "$work/results.tsv" >&2
  printf '\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$pauses" "$cpu" "${mi[0]}" "${mc[0]}" "${mc[1]}" "${rr[0]}" "${rr[1]}" "$streams" \
    | tee -a "$work/results.tsv" >&2
}

echo "call_bench: provider on 127.0.0.1:$port, echo peer $number on :$echo_port (media :$echo_media)," \
  "display $display, $runs runs each, $talk_calls of them held ${talk} s, work $work" >&2
: > "$work/results.tsv"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for n in $(seq 1 "$runs"); do
  hold=0; [ "$n" -le "$talk_calls" ] && hold=$talk
  # alternate which goes first so drift hits both alike
  if [ $((n % 2)) -eq 1 ]; then run_one ours "$n" "$hold"; run_one linphonec "$n" "$hold"
  else run_one linphonec "$n" "$hold"; run_one ours "$n" "$hold"; fi
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
kill -0 "$echo_pid" 2>/dev/null || die "the echo peer ended during the runs (see $work/echo.log)"

# --- report ----------------------------------------------------------------
row() { # label column divisor decimals
  local o l
  o=$(median "$work/results.tsv" ours "$2"); l=$(median "$work/results.tsv" linphonec "$2")
  awk -v t="$1" -v o="$o" -v l="$l" -v d="$3" -v p="$4" 'BEGIN {
    os = (o == "") ? "-" : sprintf("%.*f", p, o / d); ls = (l == "") ? "-" : sprintf("%.*f", p, l / d)
    r = (o == "" || l == "" || l == 0) ? "n/a" : sprintf("%.2f", o / l)
    printf "| %-46s | %10s | %10s | %6s |\n", t, os, ls, r }'
}
date=$(date +%Y-%m-%d)
mkdir -p "$here/results"
out=$(results_file "$here/results" calls)  # keeps earlier runs
{
  echo "# Call benchmark, $date"
  echo
  echo "Ours: $(describe_build "$driver") (the phone window with the program's own wiring, driven over stdin)."
  echo "Versions: $(dpkg-query -W -f='${Package} ${Version}, ' 'liblinphone1*' linphone-cli kamailio sip-tester 2>/dev/null | sed 's/, $//')."
  echo "Echo cancellation $ec for both callers. linphonec debug log $([ "${BENCH_LINPHONEC_LOG:-0}" = 1 ] && echo on || echo off). Callee: SIPp \`uas_echo.xml -rtp_echo\` as $number, through Kamailio on 127.0.0.1."
  echo "$runs runs each, alternating which program goes first; ours dials \`$number\` (${#number} key tones), linphonec \`call sip:$number@127.0.0.1:PORT\`;"
  echo "$talk_calls call(s) each held for a ${talk} s measuring window (starting 1 s after the ACK), the others hung up 1 s after the ACK."
  echo "Machine: $(machine); load average $load_before before, $load_after after."
  echo
  echo "Medians:"
  echo
  echo "| metric                                         |       ours |  linphonec | ours/linphonec |"
  echo "|------------------------------------------------|-----------:|-----------:|-------:|"
  row "last tone pause / call command -> INVITE (ms)" 4 1 1
  row "INVITE -> 200 OK, call setup (ms)" 5 1 1
  row "  INVITE -> 407 (provider) (ms)" 6 1 1
  row "  407 -> INVITE with credentials (ms)" 7 1 1
  row "  INVITE with credentials -> 200 OK (ms)" 8 1 1
  row "200 OK -> ACK (ms)" 9 1 1
  row "dial command -> INVITE, tones included (ms)" 3 1 1
  row "CPU during the call (% of one core)" 13 1 2
  row "VmRSS registered, before the call (MiB)" 14 1024 1
  row "VmRSS at the end of the call (MiB)" 15 1024 1
  row "VmHWM at the end of the call (MiB)" 16 1024 1
  row "RTP to the echo peer (packets/s)" 17 1 1
  row "RTP from the echo peer (packets/s)" 18 1 1
  echo
  echo "Every run (times in ms, memory in kB, \"-\" where not measured). cmd_inv: dial command -> INVITE;"
  echo "to_inv: last tone pause (linphonec: call command) -> INVITE; setup: INVITE -> 200 OK, made of"
  echo "to_407 (INVITE -> 407), to_inv2 (407 -> INVITE with credentials) and to_200 (that INVITE -> 200 OK);"
  echo "to_ack: 200 OK -> ACK; pauses: tone pauses ours made; talk_s, cpu_ms, cpu_%: the talk window;"
  echo "rtp_out/rtp_in: RTP packets/s to/from the echo peer over it; pulse: the caller's PulseAudio"
  echo "playback/capture streams at its end."
  echo
  echo '```'
  printf 'kind\trun\tcmd_inv\tto_inv\tsetup\tto_407\tto_inv2\tto_200\tto_ack\tpauses\ttalk_s\tcpu_ms\tcpu_%%\trss_idle\trss_call\thwm_call\trtp_out\trtp_in\tpulse\n'
  cat "$work/results.tsv"
  echo '```'
} > "$out"
grep '^| ' "$out"
echo "written: $out"
ok=1
