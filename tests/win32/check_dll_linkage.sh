#!/usr/bin/env bash
# Reads the DLL's import and export tables: every import must be a Windows system DLL
# (no MinGW runtime), the exports must be exactly the three undecorated entry points, and
# the file stays under 100 KB.
set -euo pipefail
dll="$1"
dump=$(i686-w64-mingw32-objdump -p "$dll")

status=0
allowed='^(KERNEL32|ADVAPI32|ole32|OLEAUT32|msvcrt|USER32)\.dll$'
while read -r name; do
    if ! grep -qiE "$allowed" <<<"$name"; then
        echo "unexpected import: $name"
        status=1
    fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" \
          | sed -n 's/^\s*\[\s*[0-9]*\] //p' | sort | tr '\n' ' ')
if [ "$exports" != "DllCanUnloadNow DllGetClassObject DllRegisterServer " ]; then
    echo "exports are: $exports"
    status=1
fi

size=$(stat -c %s "$dll")
if [ "$size" -ge 102400 ]; then
    echo "the DLL has grown to $size bytes (limit 100 KB)"
    status=1
fi
echo "$(basename "$dll"): $size bytes; imports: $(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
exit $status
