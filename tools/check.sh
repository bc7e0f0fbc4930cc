#!/usr/bin/env bash
# Builds everything and runs every test: the portable code natively (plain, then under
# AddressSanitizer and UndefinedBehaviorSanitizer), and MERUVIA.DLL with its tests for
# 32-bit Windows under Wine, in a 32-bit and a 64-bit Windows prefix; each fuzz target
# runs briefly. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/bootstrap.sh

for preset in native native-san fuzz win32; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    if [ "$preset" = win32 ] && ! tools/wine-vm/wine-runs-here.sh && [ "${MERUVIA_WINE_VM-}" != off ]; then
        # This kernel runs no 32-bit programs, so Wine's 32-bit side cannot start: the
        # Windows tests run in a virtual machine whose kernel does, the rest here.
        ctest --preset win32 -L linux-only
        echo "=== win32, in the virtual machine ==="
        # Emulated in software, it runs some ten times slower: the load test makes fewer cycles.
        tools/wine-vm/run.sh "$PWD" env MERUVIA_LOAD_CYCLES=5000 ctest --preset win32 -LE linux-only
        continue
    fi
    ctest --preset "$preset"
done

# The same Windows build again, in a 64-bit Windows prefix: the DLL and the tools run in
# WoW64 and register in the 32-bit registry view, as on most plant PCs.
echo "=== wow64 ==="
ctest --preset wow64

# Once more in a prefix that reports Windows XP, the oldest Windows the driver supports.
echo "=== winxp ==="
ctest --preset winxp

# The release as a user gets it: built into dist/, built again from another folder to the
# same bytes, signed with a throwaway key, installed and removed on 32- and 64-bit Windows.
echo "=== release ==="
bash tools/release.sh
ctest --preset release
