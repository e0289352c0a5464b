#!/usr/bin/env bash
# The built program as a user meets it: a real X server (Xvfb), a real
# registrar, a real sound server. It registers, refuses a second copy of
# itself, and ends through its close button, unregistering on the way out.
#   app_test.sh PATH/TO/softphone
# SOFTPHONE_SCREENSHOT=FILE keeps a screenshot of the registered phone.
set -euo pipefail
app=$1
top=${SOFTPHONE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
work=$(mktemp -d /tmp/softphone-app.XXXXXX)
. "$top/tests/support/shell.sh"

# The phone keeps its phone book and call history beside itself: run a copy
# here, so nothing is written into the build folder.
bindir=$work/bin
mkdir -p "$bindir"
cp "$1" "$bindir/softphone"
app=$bindir/softphone

exited_with() { # pid, code, seconds
  local deadline=$(( $(date +%s) + $3 ))
  while kill -0 "$1" 2>/dev/null; do
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.1
  done
  local rc=0
  wait "$1" || rc=$?
  [ "$rc" -eq "$2" ]
}

# Short bindings: a registration nobody refreshes is gone within seconds.
port=$("$top/scripts/provider" start "$work/provider" --max-expires 4)
"$top/scripts/pulse" start "$work/pulse" >/dev/null

# A display of our own.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
wait_for 10 test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"

# The phone's own settings, holding an account.
mkdir -p "$work/config/Softphone" "$work/data"
store_account() { # account password
  printf '[Password]\nParameters\\Validation=%s\n[Account]\nParameters\\Validation=%s\n[Sip]\nParameters\\Validation=127.0.0.1:%s\n[User]\nParameters\\Validation=%s\n' \
    "$2" "$1" "$port" "$1" > "$work/config/Softphone/Softphone.ini"
  chmod 600 "$work/config/Softphone/Softphone.ini"
}

run_phone() {
  ( set +u; . "$work/pulse/env"
    XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" SOFTPHONE_BIND_ADDRESS=127.0.0.1 \
      exec "$app" ) >>"$work/phone.log" 2>&1 &
}

window=""
find_window() { window=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | tail -n 1); [ -n "$window" ]; }
geometry_is() { xdotool getwindowgeometry "$1" | grep -q "Geometry: $2"; }
registered_none() { ! "$top/scripts/provider" contacts "$work/provider" 1001; }
click_at() { # window, x, y (in the window)
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --sync $((X + $2)) $((Y + $3)) click 1
}

# First start, nothing stored: the login window comes before anything else,
# and EXIT ends the program before it registers.
run_phone
phone=$!
pids+=($phone)
check "first start shows the login window" wait_for 20 find_window "$phone"
check "login window is 216x228" geometry_is "$window" 216x228
click_at "$window" 144 154
check "EXIT ends the program" exited_with "$phone" 0 10
check "nothing registered after EXIT" registered_none

# Again, and this time the user types the account in and presses Enter.
run_phone
phone=$!
pids+=($phone)
check "login window again" wait_for 20 find_window "$phone"
xdotool windowfocus "$window" 2>/dev/null || true
sleep 0.3
xdotool type --delay 15 "127.0.0.1:$port"
xdotool key Tab Tab
xdotool type --delay 15 "1001"
xdotool key Tab
xdotool type --delay 15 "1001pw"
xdotool key Return
check "typed account registers" wait_for 15 "$top/scripts/provider" contacts "$work/provider" 1001
saved() { grep -q 'Validation=1001pw' "$work/config/Softphone/Softphone.ini"; }
check "typed account is saved" saved
kill -TERM "$phone"
check "ends cleanly after the first login" exited_with "$phone" 0 10

store_account 1001 1001pw
run_phone
phone=$!
pids+=($phone)

check "registers with the provider" wait_for 15 "$top/scripts/provider" contacts "$work/provider" 1001
check "shows its window" wait_for 10 find_window "$phone"
main_window=$window

check "window is 292x389" geometry_is "$main_window" 292x389

# Dragged by its skin: the window follows the pointer, once, on release.
drag_moves_window() {
  eval "$(xdotool getwindowgeometry --shell "$main_window")"
  local x0=$X y0=$Y
  xdotool mousemove --sync $((x0 + 30)) $((y0 + 200)) mousedown 1
  xdotool mousemove --sync $((x0 + 50)) $((y0 + 215))
  xdotool mousemove --sync $((x0 + 70)) $((y0 + 230)) mouseup 1
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$main_window")"
  [ "$X" -eq $((x0 + 40)) ] && [ "$Y" -eq $((y0 + 30)) ] && geometry_is "$main_window" 292x389
}
check "dragging the skin moves the window" drag_moves_window

if [ -n "${SOFTPHONE_SCREENSHOT:-}" ]; then
  sleep 0.5
  import -window root -crop 320x420+352+180 "$SOFTPHONE_SCREENSHOT" || true
fi

# The phone book and the recent calls open over the phone, take clicks, and
# close again where a user would close them.
titled=""
find_titled() { titled=$(xdotool search --all --onlyvisible --pid "$phone" --name "^$1\$" 2>/dev/null | tail -n 1); [ -n "$titled" ]; }
closed() { ! xdotool search --all --onlyvisible --pid "$phone" --name "^$1\$" >/dev/null 2>&1; }
printf 'Office--0201234567\r\n' > "$work/data/Softphone/PhoneBook.txt"
click_at "$main_window" 116 191
check "the book button opens the phone book" wait_for 10 find_titled "Phone Book"
check "phone book is 280x296" geometry_is "$titled" 280x296
click_at "$titled" 260 18
check "the phone book's corner picture closes it" wait_for 10 closed "Phone Book"
check "the phone book is left as it was" cmp -s "$work/data/Softphone/PhoneBook.txt" <(printf 'Office--0201234567\r\n')
click_at "$main_window" 59 189
check "the clock button opens the recent calls" wait_for 10 find_titled "Form1"
check "recent calls is 216x228" geometry_is "$titled" 216x228
check "an empty call history is made for it" test -f "$work/data/Softphone/recentcall.txt"
click_at "$titled" 104 172
check "CLOSE closes the recent calls" wait_for 10 closed "Form1"

# A second copy says so and ends.
run_phone
second=$!
pids+=($second)
check "second copy shows its message" wait_for 10 find_window "$second"
if [ -n "$window" ]; then
  xdotool windowfocus "$window" 2>/dev/null || true
  xdotool key Return 2>/dev/null || true
fi
check "second copy ends" exited_with "$second" 1 10
check "first copy keeps running" kill -0 "$phone"

# The close button, where a user would click it.
eval "$(xdotool getwindowgeometry --shell "$main_window")"
xdotool mousemove --sync $((X + 262)) $((Y + 15)) click 1
check "close button ends the program cleanly" exited_with "$phone" 0 10
check "unregistered on the way out" registered_none

# Being told to end (log-out, kill) ends the same way.
run_phone
phone=$!
pids+=($phone)
check "registers again" wait_for 15 "$top/scripts/provider" contacts "$work/provider" 1001
kill -TERM "$phone"
check "SIGTERM ends the program cleanly" exited_with "$phone" 0 10
check "unregistered after SIGTERM" registered_none

# A crash leaves the engine's own files behind. Started again with another
# account, the phone registers that one and never brings the old one back.
run_phone
phone=$!
pids+=($phone)
check "registers before the crash" wait_for 15 "$top/scripts/provider" contacts "$work/provider" 1001
# No secret on disk but where the user saved it: the settings file. The
# engine's files hold neither the password nor its hash (ha1), not while
# running, not after a crash.
# (The program and its module are no place for secrets, and a sanitizer's
# build of them holds "sha1".)
no_secret_beside_the_settings() { # password
  ! find "$work/data" "$bindir" -type f ! -name softphone ! -name '*.so' -print0 2>/dev/null \
    | xargs -0 -r grep -l -a -e "$1" -e 'ha1' 2>/dev/null | grep -q .
}
check "no password or hash in the phone's files while running" no_secret_beside_the_settings 1001pw
kill -KILL "$phone"
wait "$phone" 2>/dev/null || true
check "none after a crash either" no_secret_beside_the_settings 1001pw
owner_only() { [ "$(stat -c %a "$1")" = "$2" ]; }
check "the engine's folder is the user's only" owner_only "$work/data/Softphone/engine" 700
store_account 1002 1002pw
run_phone
phone=$!
pids+=($phone)
check "other account registers after the crash" wait_for 15 "$top/scripts/provider" contacts "$work/provider" 1002
check "old account stays gone" wait_for 12 registered_none
still_none() { sleep 5; registered_none; }
check "old account does not come back" still_none
kill -TERM "$phone"
check "ends cleanly" exited_with "$phone" 0 10
check "no password or hash after a clean exit" no_secret_beside_the_settings 1002pw
log=$work/state/Softphone/softphone.log
check "the log tells each registration" grep -q "registration: registered sip:1002@127.0.0.1:$port (200 " "$log"
check "the log is the user's only" owner_only "$log" 600
check "no password in the log" bash -c "! cat '$log'* | grep -q -e 1001pw -e 1002pw"
check "nothing of the engine's on the terminal" bash -c "! grep -qE 'liblinphone|mediastreamer|ortp' '$work/phone.log'"

if [ "$failed" -gt 0 ]; then
  echo "--- phone log"; tail -n 40 "$work/phone.log" || true
  echo "--- the phone's own log"; tail -n 40 "$work/state/Softphone/softphone.log" || true
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
