#!/bin/bash
# Inside the test machine, once, when its image is made: creates each kind of Wine prefix
# the tests use, so that a test copies one in seconds instead of making it in minutes.
#
#   make-prefixes.sh FOLDER KIND...     KIND: win32, win64 or winxp
set -uo pipefail
folder="$1"
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
make_one() {
    local kind="$1" arch=win32
    [ "$kind" = win64 ] && arch=win64
    export WINEPREFIX="$folder/$kind" WINEARCH="$arch"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || return 1
    if [ "$kind" = winxp ]; then
        wine winecfg /v winxp >/dev/null 2>&1 || return 1
    fi
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ]
}
mkdir -p "$folder"
start=$SECONDS
pids=()
for kind in "$@"; do
    make_one "$kind" &
    pids+=($!)
done
status=0
i=0
for kind in "$@"; do
    if wait "${pids[$i]}"; then
        echo "make-prefixes: $kind ready ($((SECONDS - start)) s)"
    else
        echo "make-prefixes: $kind failed" >&2
        status=1
    fi
    i=$((i + 1))
done
exit $status
