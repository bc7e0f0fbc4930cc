#!/usr/bin/env bash
# The soak (not part of the test command; about 10 minutes): one driver object under Wine
# sends 10 million frames, four months of one update a second, to the display simulator;
# every frame is checked, and the process's handles and memory are sampled.
#   tools/soak.sh [frames]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/bootstrap.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target load_probe meruvia_dll meruvia-display-native >/dev/null
export MERUVIA_WINEPREFIX="$PWD/build/win32/wineprefix" WINEPREFIX="$PWD/build/win32/wineprefix" WINEDEBUG=-all
build/win32/wine-run.sh cmd /c exit 0 </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT
python3 tools/soak.py "$PWD/build/win32/bin/load_probe.exe" "$PWD/build/win32/native-tools/meruvia-display" \
    "$PWD/build/win32/wine-run.sh" "$WINEPREFIX" "${1:-10000000}"
