#!/usr/bin/env bash
# Builds everything and runs every test: the portable code natively (plain, then under
# AddressSanitizer and UndefinedBehaviorSanitizer), and MERUVIA.DLL with its tests for
# 32-bit Windows under Wine; each fuzz target runs briefly. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/bootstrap.sh

for preset in native native-san fuzz win32; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
