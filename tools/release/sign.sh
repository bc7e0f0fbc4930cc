#!/usr/bin/env bash
# Authenticode-signs one PE file in place with the key the release was given
# (MERUVIA_SIGN_CERT, MERUVIA_SIGN_KEY; MERUVIA_SIGN_TIMESTAMP_URL adds a time stamp).
# Also run by makensis for the uninstaller and the installer.
set -euo pipefail
file=$1
args=(sign -certs "$MERUVIA_SIGN_CERT" -key "$MERUVIA_SIGN_KEY" -n "MERUVIA display driver" -h sha256)
if [ -n "${MERUVIA_SIGN_TIMESTAMP_URL:-}" ]; then
    args+=(-t "$MERUVIA_SIGN_TIMESTAMP_URL")
fi
osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
mv -f "$file.signed" "$file"
