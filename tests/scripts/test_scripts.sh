#!/usr/bin/env bash
# test_scripts.sh SOURCE BUILD: scripts/run's and scripts/install's argument handling, an
# install, upgrade and uninstall with HOME and XDG_DATA_HOME in a temporary folder, the installed
# program starting, and the demonstration driver against the simulated device.
set -uo pipefail
src=$1
build=$2
tmp=$(mktemp -d)
sim=""
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0

# expect STATUS TEXT COMMAND...: the command exits with STATUS and its output contains TEXT.
expect() {
    local status=$1 text=$2 output actual=0
    shift 2
    output=$("$@" 2>&1) || actual=$?
    [ "$actual" -eq "$status" ] && grep -qF -- "$text" <<<"$output" && echo "PASS: $*" && return
    echo "FAIL: $* -> exit $actual (wanted $status), output lacks \"$text\":"
    sed 's/^/    /' <<<"$output"
    failures=$((failures + 1))
}
check() { # check DESCRIPTION TEST...
    "${@:2}" && echo "PASS: $1" && return
    echo "FAIL: $1"
    failures=$((failures + 1))
}

# --- scripts/run: everything here is refused before anything is built --------------------------
# A copy of the scripts in a tree of its own, so build/COM1 can be planted without touching the
# real build folder.
mkdir -p "$tmp/tree/scripts" "$tmp/tree/build"
cp "$src/scripts/run" "$tmp/tree/scripts/"
run=$tmp/tree/scripts/run
noDisplay=(env -u DISPLAY -u WAYLAND_DISPLAY)
expect 0 "--port DEVICE" "$run" --help
expect 0 "--fault" "$run" --controller 16f877 -h
expect 2 "--port takes one DEVICE" "$run" --port
expect 2 "--port takes one DEVICE" "$run" --port /dev/null --fault silence
expect 2 "--port takes one DEVICE" "$run" --controller 16f877 --port /dev/null
expect 2 "--port needs a DEVICE" "$run" --port=
expect 2 "does not exist" "$run" --port /dev/no-such-adapter
expect 2 "is not a serial device" "$run" --port "$src/README.md"
expect 2 "no display" "${noDisplay[@]}" "$run" --port /dev/null
# --port takes any path, read from the caller's folder, even one that starts with "-". Stand-ins
# for the build and the program show what COM1 was bound to.
mkdir -p "$tmp/caller"
ln -s /dev/null "$tmp/caller/-n"
printf '#!/bin/sh\n' >"$tmp/tree/scripts/build"
printf '#!/bin/sh\necho "COM1 -> $(readlink build/COM1)"\n' >"$tmp/tree/build/KelvaneProgrammer"
chmod +x "$tmp/tree/scripts/build" "$tmp/tree/build/KelvaneProgrammer"
expect 0 "COM1 -> $tmp/caller/-n" env -C "$tmp/caller" DISPLAY=:99 "$run" --port -n
expect 2 "$tmp/caller/-h does not exist" env -C "$tmp/caller" "$run" --port -h
rm -f "$tmp/tree/build/COM1"
echo "not a link" >"$tmp/tree/build/COM1"
expect 2 "build/COM1 exists and is not a link" "$run" --port=/dev/null
expect 2 "build/COM1 exists and is not a link" "${noDisplay[@]}" "$run"
check "a COM1 that is not a link is left alone" grep -q "not a link" "$tmp/tree/build/COM1"

# Each start with the simulated device sets HardwareType, CommBaudRate and CommPort for it in the
# [Settings] section, whatever case and blanks the keys have there, and keeps every other byte. A
# stand-in device publishes COM1, a stand-in program shows the settings.
rm -f "$tmp/tree/build/COM1"
printf '#!/bin/sh\nln -sfn /dev/null build/COM1\nexec sleep 30\n' >"$tmp/tree/build/kelvane-sim"
printf '#!/bin/sh\n' >"$tmp/tree/build/KelvaneProgrammer"
chmod +x "$tmp/tree/build/kelvane-sim"
ini=$tmp/tree/build/KelvaneProgrammer.ini
printf '; mine\r\n[Other]\r\nCommPort=7\r\n[ settings ]\r\n hardwaretype = 0 \r\nBonus0=2.5\n\r\n' >"$ini"
expect 0 "HardwareType=1" env DISPLAY=:99 "$run"
check "18F4520: its settings set, every other byte kept" cmp -s "$ini" <(printf '%b' \
    '; mine\r\n[Other]\r\nCommPort=7\r\n[ settings ]\r\nHardwareType=1\r\nBonus0=2.5\nCommPort=1\r\nCommBaudRate=1\r\n\r\n')
expect 0 "CommBaudRate=0 (1200 baud)" env DISPLAY=:99 "$run" --controller=16F877
check "16F877: 1200 baud, its hardware type" grep -qx $'HardwareType=0\r' "$ini"
check "16F877: the baud rate changed in place" grep -qx $'CommBaudRate=0\r' "$ini"

# --- scripts/install ---------------------------------------------------------------------------
install=$src/scripts/install
export HOME=$tmp/home XDG_DATA_HOME=$tmp/data
folder="$tmp/Kelvane Programmer"
entry=$XDG_DATA_HOME/applications/kelvane-programmer.desktop
expect 0 "--uninstall" "$install" --help
expect 2 "unknown option --bogus" "$install" --bogus
expect 2 "only one FOLDER" "$install" --build-dir "$build" "$tmp/a" "$tmp/b"
expect 2 "may not contain" "$install" --build-dir "$build" "$tmp/100%"
expect 2 "is not a folder" "$install" --build-dir "$build" "$src/README.md"
expect 2 "is a system folder" "$install" --build-dir "$build" /usr/bin
expect 2 "is a system folder" "$install" --build-dir "$build" /usr/local/../bin/kelvane
expect 2 "is missing" "$install" --build-dir "$tmp/empty" "$folder"
expect 2 "nothing to uninstall" "$install" --uninstall "$tmp/never-installed"
check "refused installs leave no menu entry" test ! -e "$entry"

expect 0 "dialout" "$install" --build-dir "$build" "$folder"
check "program, simulated device and icon installed" \
    test -x "$folder/KelvaneProgrammer" -a -x "$folder/kelvane-sim" -a -f "$folder/kelvane.png"
check "menu entry written" grep -qxF "Exec=\"$folder/KelvaneProgrammer\"" "$entry"
check "menu entry names the icon" grep -qxF "Icon=$folder/kelvane.png" "$entry"
if command -v desktop-file-validate >/dev/null; then
    check "menu entry validates" desktop-file-validate "$entry"
fi

# The installed program starts: its start-up creates the settings file and the default texts.
timeout 5 "$folder/KelvaneProgrammer"
check "installed program starts and keeps running (exit $?)" test $? -eq 124
check "installed program made its settings and texts" \
    test -f "$folder/KelvaneProgrammer.ini" -a -f "$folder/MyLocation.txt" -a -f "$folder/MyDisclaimer.txt"
printf 'Joe'"'"'s Arcade\r\n' >"$folder/MyLocation.txt"
ln -s /dev/null "$folder/COM3"

# Links planted under names an install once wrote to are not written through.
echo "not the program" >"$tmp/victim"
ln -s "$tmp/victim" "$folder/.KelvaneProgrammer.new"
ln -s "$tmp/victim" "$XDG_DATA_HOME/applications/.kelvane-programmer.new.desktop"

expect 0 "Upgraded; the settings and texts" "$install" --build-dir="$build" "$folder"
check "upgrade writes through no planted link" grep -qx "not the program" "$tmp/victim"
check "upgrade keeps the texts" grep -q "Joe's Arcade" "$folder/MyLocation.txt"

# Without a FOLDER, uninstall takes the one the menu entry starts.
expect 0 "Removing the menu entry" "$install" --uninstall
check "uninstall removes program, simulated device, icon and menu entry" \
    test ! -e "$folder/KelvaneProgrammer" -a ! -e "$folder/kelvane-sim" -a ! -e "$folder/kelvane.png" -a ! -e "$entry"
check "uninstall keeps settings, texts and port links" \
    test -f "$folder/KelvaneProgrammer.ini" -a -f "$folder/StandardDisclaimer.txt" -a -L "$folder/COM3"
check "uninstall keeps the location text" grep -q "Joe's Arcade" "$folder/MyLocation.txt"

# --- The demonstration driver, against the simulated device --------------------------------------
demo=$tmp/demo
mkdir -p "$demo"
printf '[Settings]\r\nHardwareType=1\r\nCommPort=1\r\nCommBaudRate=1\r\n' >"$demo/KelvaneProgrammer.ini"
"$build/kelvane-sim" --quiet "$demo" &
sim=$!
for _ in $(seq 100); do [ -L "$demo/COM1" ] && break; sleep 0.1; done
demoOutput=$("$build/kelvane-demo" "$demo/KelvaneProgrammer" "$demo/demo.png" 2>&1)
check "demonstration ends by itself (exit $?)" test $? -eq 0
for text in "Clicking Program" "Complete" "Clicking Test Comm" "Serial # = 1234"; do
    check "demonstration prints \"$text\"" grep -qF "$text" <<<"$demoOutput"
done
check "demonstration log has no error, its picture shows the whole log" \
    test -z "$(grep -e ERROR -e "not caught up" <<<"$demoOutput")"
check "demonstration saved its picture" test -s "$demo/demo.png"
expect 2 "usage" "$build/kelvane-demo"

echo "$failures failures"
[ "$failures" -eq 0 ]
