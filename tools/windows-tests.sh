#!/usr/bin/env bash
# Every Windows suite, in one go: the win32 build's tests in a 32-bit, a 64-bit and a
# Windows XP prefix, the release installed, upgraded and removed in 32- and 64-bit
# prefixes, and the demo. Needs a machine where Wine runs 32-bit programs: tools/check.sh
# runs this on the machine itself where its kernel does, and in the test machine
# (tools/wine-vm) where it does not. The win32 and release builds and dist/ must be there.
#
# The suites share no state (each has its prefix, its scratch folder, its lines), so they
# run side by side, MERUVIA_WINDOWS_JOBS at a time (default: the processors). Each suite's
# output is shown whole when it ends. A test reported as skipped fails its suite: every
# Windows test must run.
set -uo pipefail
cd "$(dirname "$0")/.."
logs="build/windows-tests"
rm -rf "$logs"
mkdir -p "$logs"
jobs="${MERUVIA_WINDOWS_JOBS:-$(nproc)}"

# name, then the command; a ctest run also writes its JUnit report, which says what was
# skipped.
suites=(
    "win32|ctest --preset win32 -LE linux-only --output-junit $PWD/$logs/win32.xml"
    "wow64|ctest --preset wow64 --output-junit $PWD/$logs/wow64.xml"
    "winxp|ctest --preset winxp --output-junit $PWD/$logs/winxp.xml"
    # The release's checks that need no Windows ran before, with the signed build they made.
    # The installer in each layout is a suite of its own, so that the two run side by side.
    "release-win32|ctest --preset release -LE linux-only -R install_win32 --no-tests=error -FS 'signed_release|next_release' --output-junit $PWD/$logs/release-win32.xml"
    "release-win64|ctest --preset release -LE linux-only -R install_win64 --no-tests=error -FS 'signed_release|next_release' --output-junit $PWD/$logs/release-win64.xml"
    "demo|bash tools/demo.sh --here"
)

# A suite passes when its command does and nothing in it was skipped or left unrun.
judge() {
    local name="$1" status="$2" junit="$logs/$1.xml"
    [ "$status" -eq 0 ] || return 1
    if [ -f "$junit" ] && grep -Eq '<skipped|status="(notrun|disabled)"' "$junit"; then
        echo "windows-tests: $name: these tests were skipped, which counts as a failure here:"
        grep -Eo '<testcase name="[^"]*"[^>]*status="(notrun|disabled)"' "$junit" | sed 's/^/    /'
        return 1
    fi
}

start=$SECONDS
declare -A pid_of started
failed=()
running=0
finish_one() {
    local name done_pid=""
    wait -n -p done_pid "${pid_of[@]}"
    for name in "${!pid_of[@]}"; do
        [ "${pid_of[$name]}" = "$done_pid" ] || continue
        local status
        status="$(cat "$logs/$name.status" 2>/dev/null || echo 1)"
        echo
        echo "=== $name: its output ==="
        cat "$logs/$name.log"
        if judge "$name" "$status"; then
            echo "=== $name: passed in $((SECONDS - started[$name])) s ==="
        else
            echo "=== $name: FAILED (exit status $status) in $((SECONDS - started[$name])) s ==="
            failed+=("$name")
        fi
        unset "pid_of[$name]"
        running=$((running - 1))
    done
}
# A line a minute while suites run, with where each one is.
(
    while sleep 60; do
        for log in "$logs"/*.log; do
            name="$(basename "$log" .log)"
            [ -f "$logs/$name.status" ] && continue
            echo "windows-tests: $name running ($((SECONDS - start)) s): $(tail -1 "$log" | cut -c1-100)"
        done
    done
) &
ticker=$!
trap 'kill $ticker 2>/dev/null' EXIT
for entry in "${suites[@]}"; do
    name="${entry%%|*}"
    command="${entry#*|}"
    while [ "$running" -ge "$jobs" ]; do finish_one; done
    echo "windows-tests: $name started ($((SECONDS - start)) s): $command"
    started[$name]=$SECONDS
    ( bash -c "$command" >"$logs/$name.log" 2>&1; echo $? >"$logs/$name.status" ) &
    pid_of[$name]=$!
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do finish_one; done

echo
if [ ${#failed[@]} -gt 0 ]; then
    echo "windows-tests: FAILED: ${failed[*]} ($((SECONDS - start)) s)"
    exit 1
fi
echo "windows-tests: every Windows suite passed ($((SECONDS - start)) s)"
