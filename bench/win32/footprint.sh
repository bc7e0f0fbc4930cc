#!/usr/bin/env bash
# Runs component_footprint_bench under Wine: MERUVIA.DLL against a minimal component DLL,
# loaded, created and released as a host would. Where this machine's kernel runs no 32-bit
# programs, the run is in the test machine (tools/wine-vm), emulated in software: its
# ratios hold, its absolute times mean nothing.
#   bench/win32/footprint.sh [load_cycles] [objects]
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "${1-}" != --here ]; then
    bash tools/bootstrap.sh
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 --target component_footprint_bench meruvia_dll minimal_component >/dev/null
    if ! tools/wine-vm/wine-runs-here.sh; then
        echo "footprint: in the test machine (this kernel runs no 32-bit programs); only ratios mean anything there"
        exec tools/wine-vm/run.sh "$PWD" bash bench/win32/footprint.sh --here "$@"
    fi
else
    shift
fi
prefix="$PWD/build/win32/wineprefix-bench"
export MERUVIA_WINEPREFIX="$prefix" WINEPREFIX="$prefix" WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true' EXIT
cd build/win32/bin
../wine-run.sh component_footprint_bench.exe "$@"
