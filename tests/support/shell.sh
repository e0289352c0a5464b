# What the shell tests share. Sourced after $top (the source tree) and $work
# (the test's own temporary folder) are set. The processes a test starts go
# into pids; on the way out they are ended (one stuck on its way out is
# killed, never waited for), and so are a provider and a sound server kept
# under $work; then $work goes.
pids=()
passed=0
failed=0

cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$p" 2>/dev/null || true
  done
  "$top/scripts/provider" stop "$work/provider" >/dev/null 2>&1 || true
  "$top/scripts/pulse" stop "$work/pulse" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

check() { # name, command...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "PASS: $name"
  else failed=$((failed + 1)); echo "FAIL: $name"; fi
}

wait_for() { # seconds, command...
  local deadline=$(( $(date +%s) + $1 )); shift
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}
