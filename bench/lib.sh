# shellcheck shell=bash disable=SC2034,SC2154  # globals shared with the sourcing script
# Helpers shared by the bench scripts (sourced, not run). They use the
# caller's `pids` array (background children, ended by PID on exit), its
# `work` folder, `top`, `lc_dir`, `ok`, `keep` and its `die`.

now() { printf '%s' "$EPOCHREALTIME"; }

# The EXIT trap of a bench script named NAME: stops the linphonec of the run
# in progress ($lc_dir), our children, the provider and the sound server; the
# work folder goes only after a complete run ($ok) without --keep ($keep).
cleanup() {
  set +e
  [ -n "$lc_dir" ] && "$top/tests/fixtures/linphonec_register.sh" stop "$lc_dir" >/dev/null 2>&1
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  "$top/scripts/provider" stop "$work/provider" >/dev/null 2>&1
  "$top/scripts/pulse" stop "$work/pulse" >/dev/null 2>&1
  if [ "$ok" -eq 1 ] && [ "$keep" -eq 0 ]; then rm -rf "$work"; else echo "$1: logs kept in $work" >&2; fi
}
forget_pid() { local p keep_=(); for p in "${pids[@]}"; do [ "$p" = "$1" ] || keep_+=("$p"); done; pids=("${keep_[@]}"); }

# Ends PID (our child): TERM, up to 10 s, then KILL.
end_pid() {
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 1 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  forget_pid "$1"
}

# utime+stime of PID in clock ticks (all its threads).
cpu_ticks() { local s; s=$(< "/proc/$1/stat"); s=${s##*) }; local -a f; read -ra f <<< "$s"; echo $((f[11] + f[12])); }
# VmRSS and VmHWM of PID in kB.
mem_kb() { awk '/^VmRSS:/ {r=$2} /^VmHWM:/ {h=$2} END {print r, h}' "/proc/$1/status"; }

# Median of column COLUMN over the rows of FILE (tab-separated) whose first
# field is KIND; rows holding "-" there are left out. Empty if none.
median() {
  awk -F'\t' -v k="$2" -v c="$3" '$1 == k && $c != "-" { print $c }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0) exit; if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Starts tcpdump on lo for FILTER, text to OUT (-A adds the payloads when
# ASCII is "A"), and waits until it listens; its PID goes to `pids` and to
# the variable named by VAR.
start_capture() { # VAR OUT ASCII FILTER...
  local var=$1 out=$2 ascii=$3; shift 3
  local flags=(-i lo -n -tt -l -s 0)
  [ "$ascii" = A ] && flags+=(-A) || flags+=(-q)
  tcpdump "${flags[@]}" "$@" > "$out" 2> "$out.log" &
  local p=$!; pids+=("$p"); printf -v "$var" '%s' "$p"
  for _ in $(seq 1 100); do grep -q 'listening on' "$out.log" && return 0; sleep 0.05; done
  die "tcpdump did not start (see $out.log)"
}

# Starts Xvfb; sets `display`.
start_xvfb() {
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  exec 3>&-
  for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || die "Xvfb did not start (see $work/xvfb.log)"
  display=":$(cat "$work/display")"
}

# weston's headless desktop under $work; sets display to its socket's path
# (a WAYLAND_DISPLAY).
start_weston() {
  mkdir -p "$work/weston"; chmod 700 "$work/weston"
  ( unset DISPLAY WAYLAND_DISPLAY; export XDG_RUNTIME_DIR="$work/weston"
    exec weston --backend=headless-backend.so --use-pixman --socket=wayland-bench --width=1024 --height=768 --idle-time=0
  ) >"$work/weston.log" 2>&1 &
  pids+=($!)
  display="$work/weston/wayland-bench"
  for _ in $(seq 1 100); do [ -S "$display" ] && break; sleep 0.1; done
  [ -S "$display" ] || die "weston did not start (see $work/weston.log)"
}

# Starts the phone driven over a pipe (a bench driver, $driver) for run
# folder D, with account $ours_user/$ours_pass at 127.0.0.1:$port, the
# private PulseAudio under $work and the display $display; extra NAME=VALUE
# go into its environment. Sets pid. ours_cmd D WORDS... sends it a command.
start_ours() {
  local d=$1; shift
  mkdir -p "$d/home" "$d/config/Softphone" "$d/data" "$d/state"
  printf '[Password]\nParameters\\Validation=%s\n[Account]\nParameters\\Validation=%s\n[Sip]\nParameters\\Validation=127.0.0.1:%s\n[User]\nParameters\\Validation=%s\n' \
    "$ours_pass" "$ours_user" "$port" "$ours_user" > "$d/config/Softphone/Softphone.ini"
  chmod 600 "$d/config/Softphone/Softphone.ini"
  mkfifo "$d/in"
  # shellcheck disable=SC1091  # written by scripts/pulse at run time
  ( set +u; . "$work/pulse/env"
    export HOME="$d/home" XDG_CONFIG_HOME="$d/config" XDG_DATA_HOME="$d/data" XDG_STATE_HOME="$d/state"
    export XDG_CACHE_HOME="$d/home/.cache" SOFTPHONE_BIND_ADDRESS=127.0.0.1 DISPLAY="$display"
    [ $# -eq 0 ] || export "$@"
    # read-write: the driver never sees end of input between commands
    exec "$driver" <> "$d/in" ) > "$d/phone.out" 2> "$d/phone.log" &
  pid=$!
}
ours_cmd() { printf '%s\n' "${@:2}" > "$1/in"; }

# The machine and how busy it was: "N CPUs, MODEL, kernel K".
machine() {
  echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"
}

# A results file name for today that keeps earlier runs: PREFIX-DATE.md, then -2, -3...
results_file() { # DIR PREFIX
  local date out i=2; date=$(date +%Y-%m-%d)
  out="$1/$2-$date.md"
  while [ -e "$out" ]; do out="$1/$2-$date-$i.md"; i=$((i + 1)); done
  echo "$out"
}

# Writes the linphonec wrapper to DIR/linphonec: put DIR first in PATH and
# the fixture's linphonec stamps $BENCH_T0 and execs the real one. Its
# debug log (-d 6) is dropped unless BENCH_LINPHONEC_LOG=1: ours logs
# warnings only. BENCH_LINPHONEC_EC=0|1 adds [sound] echocancellation to the
# config the fixture wrote (-c FILE).
write_linphonec_wrapper() {
  mkdir -p "$1"
  cat > "$1/linphonec" <<'SH'
#!/bin/bash
args=()
while [ $# -gt 0 ]; do
  if [ "$1" = -d ] && [ "${BENCH_LINPHONEC_LOG:-0}" != 1 ]; then shift 2; continue; fi
  if [ "$1" = -c ] && [ -n "${BENCH_LINPHONEC_EC:-}" ]; then
    printf '[sound]\nechocancellation=%s\n' "$BENCH_LINPHONEC_EC" >> "$2"
  fi
  args+=("$1"); shift
done
printf '%s\n' "$EPOCHREALTIME" > "$BENCH_T0"
exec /usr/bin/linphonec "${args[@]}"
SH
  chmod +x "$1/linphonec"
}

# A binary as a result names it: its path inside the checkout it was built
# from, and that checkout's commit; never a path of this machine.
#   `build/default/softphone` at 1a2b3c4, with uncommitted changes
describe_build() { # PATH
  local dir src rev shown dirty=""
  dir=$(dirname "$1")
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$dir/CMakeCache.txt" 2>/dev/null || true)
  [ -n "$src" ] || src=$top
  case "$(realpath "$1")" in
    "$(realpath "$src")"/*) shown=$(realpath --relative-to="$(realpath "$src")" "$1") ;;
    *) shown="$(basename "$1") (built outside its checkout)" ;;
  esac
  rev=$(git -C "$src" rev-parse --short HEAD 2>/dev/null || echo '?')
  [ -z "$(git -C "$src" status --porcelain --untracked-files=no 2>/dev/null)" ] || dirty=", with uncommitted changes"
  echo "\`$shown\` at $rev$dirty"
}
