#!/usr/bin/env bash
# TLS benchmark: what SIP over TLS (calls with SRTP) costs against UDP (RTP),
# our phone and linphonec side by side, on one private Kamailio taking both,
# all on 127.0.0.1: registration from a cold start, call set-up to a
# linphonec callee, resident memory once registered. The runs are made by
# bench/tls_bench_driver.py; medians go to stdout and to
# bench/results/tls-DATE.md.  See bench/README.md.
#
#   bench/tls_bench.sh [--runs N] [--app PATH] [--keep]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
runs=5 keep=0
app=${SOFTPHONE_APP:-$top/build/default/softphone}

die() { echo "tls_bench: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=${2:?}; shift 2 ;;
    --app) app=${2:?}; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,9p' "$0" >&2; exit 2 ;;
  esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || die "--runs takes a positive integer"
[ -x "$app" ] || die "no phone at $app (build it, or pass --app PATH)"
app=$(cd "$(dirname "$app")" && pwd)/$(basename "$app")
for t in tcpdump kamailio kamcmd linphonec openssl Xvfb xdotool; do
  command -v "$t" >/dev/null || die "$t not installed (run scripts/setup)"
done
[ "$(id -u)" -eq 0 ] || die "run as root: it captures on lo"

work=$(mktemp -d /tmp/tlsbench.XXXXXX)
pids=()      # lib.sh's cleanup reads these; the driver stops what it starts
lc_dir=""
ok=0
# median, machine, results_file, describe_build, cleanup, ...
# shellcheck source=bench/lib.sh
. "$here/lib.sh"
trap 'cleanup tls_bench' EXIT
trap 'exit 130' INT TERM

# A copy to run: the checkout may rebuild its program while this runs.
built=$(describe_build "$app")
built_at=$(date -u -r "$app" '+%Y-%m-%d %H:%M UTC')
mkdir "$work/app"
cp -p "$app" "$work/app/softphone"
[ ! -f "$(dirname "$app")/softphone-feedback.so" ] || cp -p "$(dirname "$app")/softphone-feedback.so" "$work/app/"
sum=$(sha256sum "$work/app/softphone" | cut -c1-12)

echo "tls_bench: $runs runs of each, work $work" >&2
: > "$work/reg.tsv"; : > "$work/calls.tsv"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# the driver keeps its own work folder (/tmp/acc.*) with --keep; in the
# background so that our EXIT trap can end it by PID
ACCEPTANCE_KEEP=$keep SOFTPHONE_SOURCE_DIR="$top" \
  /usr/bin/python3 -B "$here/tls_bench_driver.py" "$runs" "$work/app/softphone" "$work" > "$work/driver.log" 2>&1 &
driver=$!; pids+=("$driver")
wait "$driver" || { tail -n 40 "$work/driver.log" >&2; die "the runs failed (see $work/driver.log)"; }
forget_pid "$driver"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- report ----------------------------------------------------------------
# One row: LABEL FILE COLUMN DIVISOR DECIMALS; TLS - UDP is the difference of
# the medians.
row() {
  local v=() k
  for k in ours-udp ours-tls linphonec-udp linphonec-tls; do v+=("$(median "$2" "$k" "$3")"); done
  awk -v t="$1" -v ou="${v[0]}" -v ot="${v[1]}" -v lu="${v[2]}" -v lt="${v[3]}" -v d="$4" -v p="$5" 'BEGIN {
    printf "| %-46s | %8.*f | %8.*f | %+8.*f | %9.*f | %9.*f | %+9.*f |\n", t,
      p, ou / d, p, ot / d, p, (ot - ou) / d, p, lu / d, p, lt / d, p, (lt - lu) / d }'
}
header() {
  echo "| $1 | ours UDP | ours TLS | TLS − UDP | linphonec UDP | linphonec TLS | TLS − UDP |"
  echo "|------------------------------------------------|---------:|---------:|---------:|----------:|----------:|----------:|"
}
version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo '?'; }
date=$(date +%Y-%m-%d)
mkdir -p "$here/results"
out=$(results_file "$here/results" tls)  # keeps earlier runs
{
  echo "# TLS benchmark, $date"
  echo
  echo "Ours: $built (built $built_at, sha256 $sum...); server field \`127.0.0.1:PORT\` (UDP) or \`sips:localhost:PORT\` (TLS),"
  echo "\`SSL_CERT_FILE\` the test authority on both."
  echo "Peer: linphonec $(version linphone-cli), liblinphone $(version liblinphone10) (TLS: mbedTLS $(version libmbedtls14),"
  echo "SRTP: libsrtp2 $(version libsrtp2-1)); on TLS \`sip_tls_port=-2\`, \`verify_server_certs=1\`, \`verify_server_cn=1\`,"
  echo "\`media_encryption=srtp\`, \`media_encryption_mandatory=1\`; no debug log."
  echo "Provider: Kamailio $(version kamailio) on 127.0.0.1, UDP and TLS 1.2+ (tls module, OpenSSL $(version libssl3)),"
  echo "certificate for \`localhost\` from \`tests/fixtures/testpki\` (EC P-256); xlog lines with its clock (\`\$TV(Sn)\`)"
  echo "added to its configuration by the driver."
  echo "$runs runs of each. Machine: $(machine); load average $load_before before, $load_after after."
  echo
  echo "## Registration, cold start"
  echo
  echo "Ours registers 1001, linphonec 1002; fresh folders and no binding at the registrar before each start;"
  echo "the four kinds take turns, each going first in turn. From the wall clock read just before the program"
  echo "is started (Python \`time.time()\`, then \`Popen\`) to: the first packet it sends the provider (tcpdump's"
  echo "kernel timestamp of a UDP datagram to its UDP port, or of the SYN to its TLS port), the registrar"
  echo "logging the first REGISTER in (on TLS: after TCP and TLS handshakes), and the registrar logging the"
  echo "200 OK it sent for the REGISTER with credentials (after the 401 round). VmRSS/VmHWM 1 s after that 200."
  echo
  echo "Medians (ms, memory MiB):"
  echo
  header "registration                                  "
  row "start -> first packet to the provider" "$work/reg.tsv" 3 1 1
  row "start -> first REGISTER at the registrar" "$work/reg.tsv" 4 1 1
  row "first REGISTER -> 200 OK (the 401 round)" "$work/reg.tsv" 6 1 1
  row "**start -> 200 OK to REGISTER**" "$work/reg.tsv" 5 1 1
  row "VmRSS 1 s after registering (MiB)" "$work/reg.tsv" 7 1024 1
  row "VmHWM 1 s after registering (MiB)" "$work/reg.tsv" 8 1024 1
  echo
  echo "## Call set-up"
  echo
  echo "Callers: ours (1001, restarted for each transport in each run) and linphonec (alice on UDP, bob on TLS"
  echo "with SRTP required), taking turns. Callees: linphonec answering at once, PCMU only: 2000 on UDP, 1002 on"
  echo "TLS with SRTP required (each call's media encryption is checked in its log). From placing the call (ours:"
  echo "number typed, pointer resting on the green key, clock read just before xdotool clicks; ours plays its"
  echo "key tones, 100 ms a digit, 4 digits, before it dials; linphonec: just before its \`call\` command is"
  echo "written) to: the registrar logging the first INVITE in (the caller's TLS connection is the one it"
  echo "registered on), the registrar logging the callee's 200 OK as it takes it to relay to the caller,"
  echo "and the caller showing it (ours: the display reads CONNECTED, read through AT-SPI; linphonec:"
  echo "\"connected.\" on its output; both looked at every 5 ms once the registrar has relayed the 200 OK,"
  echo "so that the questions do not load our window's thread, which runs the engine too, during set-up)."
  echo
  echo "Medians (ms):"
  echo
  header "call set-up                                   "
  row "placed -> first INVITE at the registrar" "$work/calls.tsv" 3 1 1
  row "first INVITE -> callee's 200 OK (407 round)" "$work/calls.tsv" 4 1 1
  row "**placed -> callee's 200 OK at the registrar**" "$work/calls.tsv" 5 1 1
  row "placed -> caller shows it connected" "$work/calls.tsv" 6 1 1
  echo
  echo "Every registration (ms from start: first packet, first REGISTER in, 200 OK; REGISTER in -> 200 OK;"
  echo "VmRSS, VmHWM in kB):"
  echo
  echo '```'
  printf 'kind\trun\tpacket\tREG in\t200 OK\tin->200\trss\thwm\n'
  cat "$work/reg.tsv"
  echo '```'
  echo
  echo "Every call (ms from placing it: INVITE in, 200 OK; INVITE -> 200 OK; shown; media encryption):"
  echo
  echo '```'
  printf 'kind\trun\tINVITE\tin->200\t200 OK\tshown\tmedia\n'
  cat "$work/calls.tsv"
  echo '```'
} > "$out"
grep '^| ' "$out"
echo "written: $out"
ok=1
