#!/usr/bin/env bash
# The phone installed as a user installs it: the installation holds exactly
# the program, its browser module, the desktop entry, the AppStream
# metadata, the icons, the manual page and the documents; the desktop's own
# validators accept them; the desktop entry is the handler of sip: and tel:
# links and starts the installed program, which registers with a real
# registrar (Kamailio) and loads its browser module from the installation.
#   install_test.sh BUILD_DIR LIBDIR      `cmake --install` into a prefix of its own
#   install_test.sh --tree PREFIX LIBDIR  an installation made elsewhere (the package's)
set -euo pipefail
top=${SOFTPHONE_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
work=$(mktemp -d /tmp/softphone-install.XXXXXX)
. "$top/tests/support/shell.sh"

if [ "$1" = --tree ]; then
  prefix=$2 libdir=$3
else
  prefix=$work/prefix libdir=$2
  cmake --install "$1" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
fi

# --- The files.
sizes=(16 22 24 32 48 64 128 256)
expected() {
  printf '%s\n' bin/softphone "$libdir/softphone/softphone-feedback.so" \
    share/applications/softphone.desktop share/metainfo/io.github.softphone.Softphone.metainfo.xml \
    share/man/man1/softphone.1.gz share/doc/softphone/copyright share/doc/softphone/changelog.gz
  for s in "${sizes[@]}"; do echo "share/icons/hicolor/${s}x${s}/apps/softphone.png"; done
}
installed() { (cd "$prefix" && find . -type f -o -type l) | sed 's|^\./||'; }
check "the installation holds exactly the expected files" diff <(expected | sort) <(installed | sort)
icons_fit() {
  local s
  for s in "${sizes[@]}"; do
    [ "$(identify -format '%wx%h %[channels]' "$prefix/share/icons/hicolor/${s}x${s}/apps/softphone.png")" \
      = "${s}x${s} srgba" ] || { echo "the ${s}x${s} icon is not ${s}x${s} with transparency"; return 1; }
  done
}
check "an icon at every size, the entry's" \
  eval 'icons_fit && grep -qx Icon=softphone "$prefix/share/applications/softphone.desktop"'
check "desktop-file-validate accepts the desktop entry" \
  desktop-file-validate "$prefix/share/applications/softphone.desktop"
# The tree, not only the file: the metadata's launchable must be there.
check "appstreamcli accepts the metadata" appstreamcli validate-tree --no-net "$prefix"
check "the manual page reads" eval 'man -l "$prefix/share/man/man1/softphone.1.gz" 2>&1 | grep -q "^SYNOPSIS"'

# --- The desktop: the installation's share first, a user of the test's own.
export XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$work/data" \
  XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/config-dirs"
mkdir -p "$work/config/Softphone" "$work/data"
# What a package's trigger does after installing a desktop entry.
update-desktop-database "$prefix/share/applications"
handler_of() { [ "$(xdg-mime query default "x-scheme-handler/$1")" = softphone.desktop ]; }
check "sip: and tel: links go to the phone" eval 'handler_of sip && handler_of tel'

port=$("$top/scripts/provider" start "$work/provider")
"$top/scripts/pulse" start "$work/pulse" >/dev/null
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
wait_for 10 test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"

printf '[Password]\nParameters\\Validation=1001pw\n[Account]\nParameters\\Validation=1001\n[Sip]\nParameters\\Validation=127.0.0.1:%s\n[User]\nParameters\\Validation=1001\n' \
  "$port" > "$work/config/Softphone/Softphone.ini"
chmod 600 "$work/config/Softphone/Softphone.ini"

# Started the way the desktop starts it: the entry's command line with a
# link for %u, the program found on a PATH that holds the installation's bin.
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/softphone.desktop")
read -ra command <<< "${exec_line//%u/sip:2000@127.0.0.1}"
sandbox=""
[ "$(id -u)" -eq 0 ] && sandbox=1 # Chromium's sandbox refuses root
( set +u; . "$work/pulse/env"
  export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" # pulse/env points them into its own HOME
  # The browser goes nowhere but to a closed port on this machine.
  PATH="$prefix/bin:$PATH" SOFTPHONE_BIND_ADDRESS=127.0.0.1 QTWEBENGINE_DISABLE_SANDBOX=$sandbox \
    QTWEBENGINE_CHROMIUM_FLAGS="--proxy-server=127.0.0.1:9" exec "${command[@]}" ) >>"$work/phone.log" 2>&1 &
phone=$!
pids+=($phone)
runs_installed() { [ "$(readlink "/proc/$phone/exe")" = "$prefix/bin/softphone" ]; }
check "the desktop entry starts the installed program" wait_for 5 runs_installed
check "it registers with the provider" wait_for 15 "$top/scripts/provider" contacts "$work/provider" 1001

window=""
find_window() { window=$(xdotool search --onlyvisible --pid "$phone" 2>/dev/null | tail -n 1); [ -n "$window" ]; }
check "it shows its window" wait_for 10 find_window
if [ -n "$window" ]; then
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --sync $((X + 221)) $((Y + 143)) # Feedback
  sleep 0.1 # the phone sees the pointer arrive before the press
  xdotool click 1
fi
feedback_shown() { xdotool search --all --onlyvisible --pid "$phone" --name '^Give Your FeedBack$'; }
check "Feedback opens its window" wait_for 30 feedback_shown
module_mapped() {
  grep -q "$prefix/$libdir/softphone/softphone-feedback.so" "/proc/$phone/maps" && return
  echo "the phone maps these modules:"; grep -o '/.*softphone[^ ]*\.so' "/proc/$phone/maps" | sort -u
  return 1
}
check "with the browser module from the installation" module_mapped

kill -TERM "$phone"
exited_cleanly() {
  for _ in $(seq 100); do kill -0 "$phone" 2>/dev/null || break; sleep 0.1; done
  ! kill -0 "$phone" 2>/dev/null && wait "$phone"
}
check "it ends cleanly when told to" exited_cleanly

if [ "$failed" -gt 0 ]; then
  echo "--- phone log"; tail -n 40 "$work/phone.log" || true
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
