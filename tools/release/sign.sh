#!/usr/bin/env bash
# Authenticode-signs one PE file in place with the key the release was given. Also run by
# makensis for the uninstaller and the installer.
#   MERUVIA_SIGN_CERT            the certificate chain (PEM)
#   MERUVIA_SIGN_KEY             the private key: a PEM file, or a PKCS#11 URI (RFC 7512,
#                                "pkcs11:token=...;object=...") for a key in a token or HSM
#   MERUVIA_SIGN_PKCS11_MODULE   with a URI: the token's PKCS#11 module (.so)
#   MERUVIA_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamping authority
set -euo pipefail
file=$1
args=(sign -certs "$MERUVIA_SIGN_CERT" -n "MERUVIA display driver" -h sha256)
case "$MERUVIA_SIGN_KEY" in
pkcs11:*)
    if [ -z "${MERUVIA_SIGN_PKCS11_MODULE:-}" ]; then
        echo "sign: the key $MERUVIA_SIGN_KEY is in a token: set MERUVIA_SIGN_PKCS11_MODULE to its PKCS#11 module" >&2
        exit 1
    fi
    args+=(-pkcs11module "$MERUVIA_SIGN_PKCS11_MODULE" -key "$MERUVIA_SIGN_KEY")
    ;;
*)
    args+=(-key "$MERUVIA_SIGN_KEY")
    ;;
esac
if [ -n "${MERUVIA_SIGN_TIMESTAMP_URL:-}" ]; then
    args+=(-ts "$MERUVIA_SIGN_TIMESTAMP_URL")
fi
if ! osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >"$file.sign-log" 2>&1; then
    echo "sign: $(basename "$file") could not be signed:" >&2
    cat "$file.sign-log" >&2
    rm -f "$file.signed" "$file.sign-log"
    exit 1
fi
rm -f "$file.sign-log"
mv -f "$file.signed" "$file"
