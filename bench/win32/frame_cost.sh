#!/usr/bin/env bash
# Runs frame_cost_bench under Wine against a COM port whose other end the display simulator
# reads, so that writes never wait on a full line. Where this machine's kernel runs no
# 32-bit programs, the run is in the test machine (tools/wine-vm), emulated in software:
# its ratios hold, its absolute times mean nothing.
#   bench/win32/frame_cost.sh [frames]
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "${1-}" != --here ]; then
    bash tools/bootstrap.sh
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target frame_cost_bench meruvia_dll meruvia-display-native >/dev/null
    if ! tools/wine-vm/wine-runs-here.sh; then
        echo "frame_cost: in the test machine (this kernel runs no 32-bit programs); only ratios mean anything there"
        exec tools/wine-vm/run.sh "$PWD" bash bench/win32/frame_cost.sh --here "$@"
    fi
else
    shift
fi
prefix="$PWD/build/win32/wineprefix-bench"
export MERUVIA_WINEPREFIX="$prefix" WINEPREFIX="$prefix" WINEDEBUG=-all
build/win32/wine-run.sh cmd /c exit 0 </dev/null >/dev/null 2>&1
link="$WINEPREFIX/dosdevices/com40"
build/win32/native-tools/meruvia-display --pty --link "$link" --log >/dev/null &
display=$!
trap 'kill $display 2>/dev/null || true; rm -f "$link"; wineserver -k 2>/dev/null || true' EXIT
sleep 0.5
cd build/win32/bin
../wine-run.sh frame_cost_bench.exe COM40 "${1:-20000}"
