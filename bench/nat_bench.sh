#!/usr/bin/env bash
# NAT benchmark: the time from our phone's green key (clicked with xdotool)
# to its INVITE on the wire, against linphonec's `call` command, in the
# lab's home network (tests/lab/lab.py: network namespaces, Kamailio and the
# far end outside the router). Three conditions: behind a port-keeping router
# with STUN answering on the provider's host port 3478, behind it with nothing
# on 3478, and without NAT (nothing on 3478). Medians go to stdout and to
# bench/results/nat-DATE.md.  See bench/README.md.
#
#   bench/nat_bench.sh [--runs N] [--app PATH] [--keep]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/.." && pwd)
runs=5 keep=0
app=${SOFTPHONE_APP:-$top/build/default/softphone}
conditions=(stun nostun nonat)

die() { echo "nat_bench: $*" >&2; exit 1; }
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=${2:?}; shift 2 ;;
    --app) app=${2:?}; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,10p' "$0" >&2; exit 2 ;;
  esac
done
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || die "--runs takes a positive integer"
[ -x "$app" ] || die "no phone at $app (build it, or pass --app PATH)"
app=$(cd "$(dirname "$app")" && pwd)/$(basename "$app")
for t in ip nft conntrack tcpdump turnserver kamailio sipp linphonec Xvfb xdotool; do
  command -v "$t" >/dev/null || die "$t not installed (run scripts/setup)"
done
[ "$(id -u)" -eq 0 ] || die "run as root: the lab is made of network namespaces"

work=$(mktemp -d /tmp/natbench.XXXXXX)
pids=()      # lib.sh's cleanup reads these; the driver stops what it starts
lc_dir=""
ok=0
# median, machine, results_file, describe_build, cleanup, ...
# shellcheck source=bench/lib.sh
. "$here/lib.sh"
trap 'cleanup nat_bench' EXIT
trap 'exit 130' INT TERM

echo "nat_bench: $runs calls each of ours and linphonec per condition, work $work" >&2
: > "$work/results.tsv"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for c in "${conditions[@]}"; do
  echo "nat_bench: condition $c" >&2
  # the driver keeps its own work folder (/tmp/acc.*) with --keep
  ACCEPTANCE_KEEP=$keep SOFTPHONE_SOURCE_DIR="$top" \
    /usr/bin/python3 -B "$here/nat_bench_driver.py" "$c" "$runs" "$app" "$work/results.tsv" \
    > "$work/$c.log" 2>&1 || { tail -n 40 "$work/$c.log" >&2; die "condition $c failed (see $work/$c.log)"; }
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- report ----------------------------------------------------------------
# results.tsv: kind condition run ms c-address ice
column_of() { # CONDITION KIND COLUMN: the distinct values, comma-separated
  awk -F'\t' -v c="$1" -v k="$2" -v n="$3" '$2 == c && $1 == k && !seen[$n]++ { printf "%s%s", (i++ ? "," : ""), $n }' \
    "$work/results.tsv"
}
row() { # CONDITION LABEL
  local o l
  awk -F'\t' -v c="$1" '$2 == c' "$work/results.tsv" > "$work/$1.tsv"
  o=$(median "$work/$1.tsv" ours 4); l=$(median "$work/$1.tsv" linphonec 4)
  awk -v t="$2" -v o="$o" -v l="$l" -v oc="$(column_of "$1" ours 5)" -v lc="$(column_of "$1" linphonec 5)" \
      -v oi="$(column_of "$1" ours 6)" -v li="$(column_of "$1" linphonec 6)" 'BEGIN {
    printf "| %-34s | %8.1f | %9.1f | %6s | %-13s | %-13s | %-5s | %-5s |\n", t, o, l,
      (l == 0 ? "n/a" : sprintf("%.2f", o / l)), oc, lc, oi, li }'
}
date=$(date +%Y-%m-%d)
mkdir -p "$here/results"
out=$(results_file "$here/results" nat)  # keeps earlier runs
{
  echo "# NAT benchmark, $date"
  echo
  echo "Ours: $(describe_build "$app"), no network settings of its own (it probes the provider's host for STUN)."
  echo "Peer: linphonec $(dpkg-query -W -f='${Version}' linphone-cli 2>/dev/null) with \`[net] stun_server=198.51.100.10:3478\`, \`firewall_policy=ice\` in every condition."
  echo "Lab: the phone and linphonec in the home network (10.77.1.10), Kamailio at 198.51.100.10 beyond the router,"
  echo "a SIPp callee at 198.51.100.20; $runs calls each per condition, alternating which goes first."
  echo "From: ours, just before xdotool is started to click the green key (the number, 10 digits, is typed"
  echo "before; the phone plays its key tones, 100 ms a digit, before it dials: 1 s of ours is those);"
  echo "linphonec, just before its \`call\` command is written to its input. To: the kernel timestamp of the"
  echo "first INVITE on the router's wan side (tcpdump). Both clocks are the wall clock."
  echo "Machine: $(machine); load average $load_before before, $load_after after."
  echo
  echo "Medians (c= is the address the INVITE's SDP offered; ICE: whether it carried candidates):"
  echo
  echo "| condition                          | ours (ms) | linphonec (ms) | ours/linphonec | c= ours | c= linphonec | ICE ours | ICE linphonec |"
  echo "|------------------------------------|---------:|----------:|-------:|---------------|---------------|-------|-------|"
  row stun "NAT, STUN answering"
  row nostun "NAT, nothing on 3478"
  row nonat "no NAT, nothing on 3478"
  echo
  echo "Every call (kind, condition, run, ms, c=, ICE):"
  echo
  echo '```'
  cat "$work/results.tsv"
  echo '```'
} > "$out"
grep '^| ' "$out"
echo "written: $out"
ok=1
