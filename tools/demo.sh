#!/usr/bin/env bash
# The driver at work without hardware: a virtual serial line, the display simulator on one
# end, and the host stand-in under Wine sending values through MERUVIA.DLL on the other.
# Installs what is missing, builds, and cleans up everything it started.
#
# Where this machine's kernel runs no 32-bit programs, the part under Wine runs in the test
# machine (tools/wine-vm), built the first time; `demo.sh --here` is that part alone.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1-}" != --here ]; then
    bash tools/bootstrap.sh
    echo "== building"
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target meruvia_dll meruvia-host meruvia-display-native >/dev/null
    if ! tools/wine-vm/wine-runs-here.sh; then
        echo "== this machine's Linux kernel runs no 32-bit programs, so Wine cannot start the"
        echo "   32-bit host stand-in here: the demo runs in a virtual machine whose kernel does"
        echo "   (tools/wine-vm; made the first time, about 10 minutes, then a minute or two to start)"
        exec tools/wine-vm/run.sh "$PWD" bash tools/demo.sh --here
    fi
fi

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
    echo "== making a private Wine prefix in $WINEPREFIX (first time only)"
fi
if ! "$wine_run" cmd /c exit 0 </dev/null >"$demo/wine.log" 2>&1; then
    echo "demo: Wine cannot run programs here:" >&2
    cat "$demo/wine.log" >&2
    exit 1
fi

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
if ! grep -q " reading " "$log"; then
    echo "demo: the display simulator read nothing; its log:" >&2
    cat "$log" >&2
    exit 1
fi
grep " reading " "$log" | sed 's/^/   /'
last=$(grep " reading " "$log" | tail -1 | sed 's/.* reading //')
echo
echo "   the last one, as the LED display shows it:"
frame="="
for ((i = ${#last} - 1; i >= 0; i--)); do frame+="${last:i:1}"; done
printf '%s' "$frame" | "$display" --device - --frames 1 | sed 's/^/      /'
echo
echo "== done; the display simulator and Wine are stopped"
