#!/usr/bin/env bash
# Builds everything and runs every test: the portable code natively (plain, then under
# AddressSanitizer and UndefinedBehaviorSanitizer), each fuzz target briefly, the static
# analysis and the shipped images' checks, the release; then every Windows suite (the DLL
# and the tools in a 32-bit, a 64-bit and a Windows XP prefix, the installer in 32- and
# 64-bit prefixes, the demo) in one go, under Wine on this machine where its kernel runs
# 32-bit programs, in the test machine (tools/wine-vm) where it does not. Installs what is
# missing first.
#
# MERUVIA_SKIP_WINDOWS_TESTS=1 leaves the Windows suites out, for a quick local run only:
# the command then says so loudly, and refuses it under CI.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

skip_windows=""
if [ -n "${MERUVIA_SKIP_WINDOWS_TESTS-}" ] && [ "${MERUVIA_SKIP_WINDOWS_TESTS}" != 0 ]; then
    if [ "${CI-}" = true ]; then
        echo "check: MERUVIA_SKIP_WINDOWS_TESTS is set under CI, where every Windows suite must run" >&2
        exit 2
    fi
    skip_windows=1
fi

bash tools/bootstrap.sh

for preset in native native-san fuzz; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

# The Windows build, and what of its checks needs no Windows.
echo "=== win32 (the checks that run on Linux) ==="
cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32 -L linux-only

# The release as a user gets it: built into dist/, built again from another folder to the
# same bytes, signed with a throwaway key.
echo "=== release (the checks that run on Linux) ==="
bash tools/release.sh
ctest --preset release -L linux-only

if [ -n "$skip_windows" ]; then
    {
        echo
        echo "!!! MERUVIA_SKIP_WINDOWS_TESTS is set: NO WINDOWS TEST RAN (the DLL, the tools, the"
        echo "!!! installer and the demo are untested). Unset it for a real run."
    } >&2
    exit 0
fi
if tools/wine-vm/wine-runs-here.sh; then
    echo "=== every Windows suite, under Wine on this machine ==="
    bash tools/windows-tests.sh
else
    echo "=== every Windows suite, in the test machine ==="
    echo "(this machine's Linux kernel runs no 32-bit programs, so Wine's 32-bit side cannot start"
    echo " here; tools/wine-vm runs them in a virtual machine whose kernel does)"
    # Emulated in software, it runs some ten times slower: the load test makes fewer cycles.
    tools/wine-vm/run.sh "$PWD" env MERUVIA_LOAD_CYCLES=5000 bash tools/windows-tests.sh
fi
echo "check: everything passed in $(( (SECONDS - start) / 60 )) min $(( (SECONDS - start) % 60 )) s"
