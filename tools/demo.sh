#!/usr/bin/env bash
# The driver at work without hardware: a virtual serial line, the display simulator on one
# end, and the host stand-in under Wine sending values through MERUVIA.DLL on the other.
# Installs what is missing, builds, and cleans up everything it started.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/bootstrap.sh
echo "== building"
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target meruvia_dll meruvia-host meruvia-display-native >/dev/null

demo="$PWD/build/demo"
mkdir -p "$demo"
export MERUVIA_WINEPREFIX="$demo/wineprefix"
export WINEPREFIX="$MERUVIA_WINEPREFIX" WINEDEBUG=-all
wine_run="$PWD/build/win32/wine-run.sh"
host="$PWD/build/win32/bin/meruvia-host.exe"
display="$PWD/build/win32/native-tools/meruvia-display"
com=com5
log="$demo/display.log"

display_pid=""
cleanup() {
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -f "$WINEPREFIX/dosdevices/$com"
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== making a private Wine prefix in $WINEPREFIX (first time only, about 15 s)"
fi
"$wine_run" cmd /c exit 0 </dev/null >/dev/null 2>&1

echo "== starting the display simulator on a pseudo-terminal that Wine calls COM5"
mkdir -p "$WINEPREFIX/dosdevices"
"$display" --pty --link "$WINEPREFIX/dosdevices/$com" --log >"$log" 2>&1 &
display_pid=$!
for _ in $(seq 50); do grep -q "listening on" "$log" 2>/dev/null && break; sleep 0.1; done
head -1 "$log"

echo
echo "== registering MERUVIA.DLL and sending values (host stand-in under Wine)"
"$wine_run" "$host" --register --port COM5 --baud 9600 1.5 -12.5 123.456 -0.25 1234.5 2>&1 || true

echo
echo "== a tag the driver refuses: register text X"
"$wine_run" "$host" --port COM5 --register-text X 1 2>&1 || echo "(exit status $?)"

sleep 0.5
echo
echo "== what the display read"
grep " reading " "$log" | sed 's/^/   /'
last=$(grep " reading " "$log" | tail -1 | sed 's/.* reading //')
echo
echo "   the last one, as the LED display shows it:"
frame="="
for ((i = ${#last} - 1; i >= 0; i--)); do frame+="${last:i:1}"; done
printf '%s' "$frame" | "$display" --device - --frames 1 | sed 's/^/      /'
echo
echo "== done; the display simulator and Wine are stopped"
