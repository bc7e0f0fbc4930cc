#!/usr/bin/env bash
# Builds the Windows release into dist/:
#   meruvia-<version>-win32.zip   MERUVIA.DLL, meruvia-host.exe, meruvia-display.exe, the guides, install note, licences
#   meruvia-<version>-setup.exe   the installer (English and Chinese)
#   SHA256SUMS
# The same source gives the same bytes, from any folder, at any time. With MERUVIA_SIGN_CERT
# and MERUVIA_SIGN_KEY (a PEM file, or a pkcs11: URI with MERUVIA_SIGN_PKCS11_MODULE) the
# DLL, the tool, the uninstaller and the installer are Authenticode-signed;
# MERUVIA_SIGN_TIMESTAMP_URL adds an RFC 3161 time stamp (tools/release/sign.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash tools/bootstrap.sh

# Dates inside the release are the last commit's, not the build's.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

sign=
if [ -n "${MERUVIA_SIGN_CERT:-}" ] && [ -n "${MERUVIA_SIGN_KEY:-}" ]; then
    sign=$top/tools/release/sign.sh
    case "$MERUVIA_SIGN_KEY" in
    pkcs11:*)
        if [ -z "${MERUVIA_SIGN_PKCS11_MODULE:-}" ]; then
            echo "release: the key is in a token: set MERUVIA_SIGN_PKCS11_MODULE to its PKCS#11 module" >&2
            exit 1
        fi
        echo "release: signing with $MERUVIA_SIGN_CERT and the key in the token ($MERUVIA_SIGN_PKCS11_MODULE)" ;;
    *)
        echo "release: signing with $MERUVIA_SIGN_CERT" ;;
    esac
    if [ -z "${MERUVIA_SIGN_TIMESTAMP_URL:-}" ]; then
        echo "release: NO TIME STAMP: the signatures stop verifying when the certificate expires" \
             "(set MERUVIA_SIGN_TIMESTAMP_URL; a public release must have one)"
    fi
else
    echo "release: UNSIGNED (set MERUVIA_SIGN_CERT and MERUVIA_SIGN_KEY to sign)"
fi

echo "release: building"
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
version=$(cat build/release/VERSION)
name="meruvia-$version"

stage=build/release/stage
rm -rf "$stage" dist
mkdir -p "$stage/docs" "$stage/licenses" dist

cp build/release/bin/MERUVIA.DLL build/release/bin/meruvia-host.exe build/release/bin/meruvia-display.exe "$stage/"
if [ -n "$sign" ]; then
    "$sign" "$stage/MERUVIA.DLL"
    "$sign" "$stage/meruvia-host.exe"
    "$sign" "$stage/meruvia-display.exe"
fi

# Texts for Windows: CRLF line ends; the install note starts with a byte-order mark so that
# every Notepad reads its Chinese.
to_windows_text() { sed 's/\r$//; s/$/\r/' "$1" > "$2"; }
/usr/bin/python3 tools/release/render_docs.py docs/README.md "$stage/docs/README.html"
/usr/bin/python3 tools/release/render_docs.py docs/README.zh-CN.md "$stage/docs/README.zh-CN.html"
{ printf '\xef\xbb\xbf'; sed "s/@VERSION@/$version/g" tools/release/INSTALL.txt; } > "$stage/INSTALL.tmp"
to_windows_text "$stage/INSTALL.tmp" "$stage/INSTALL.txt"
rm "$stage/INSTALL.tmp"
# The GCC runtime and the MinGW-w64 runtime are linked in statically: their notices.
to_windows_text /usr/share/doc/gcc-mingw-w64-i686-posix-runtime/copyright "$stage/licenses/GCC-runtime.txt"
to_windows_text /usr/share/common-licenses/GPL-3 "$stage/licenses/GPL-3.txt"
to_windows_text /usr/share/doc/mingw-w64-i686-dev/copyright "$stage/licenses/MinGW-w64.txt"

# The installer's pages run two NSIS plugins from its temporary folder. makensis is given
# its own copy of the NSIS folder in which they are the only plugins, signed like
# everything else in a signed release: no other plugin can be used by mistake.
nsis=build/release/nsis
rm -rf "$nsis"
mkdir -p "$nsis/Plugins/x86-unicode"
for part in Contrib Include Stubs; do ln -s /usr/share/nsis/$part "$nsis/$part"; done
for plugin in nsDialogs.dll System.dll; do
    cp /usr/share/nsis/Plugins/x86-unicode/$plugin "$nsis/Plugins/x86-unicode/"
    if [ -n "$sign" ]; then "$sign" "$nsis/Plugins/x86-unicode/$plugin"; fi
done

echo "release: packing"
python3 tools/release/make_zip.py "$stage" "$name" "dist/$name-win32.zip"
NSISDIR=$top/$nsis makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$top/$stage" \
    -DOUTFILE="$top/dist/$name-setup.exe" ${sign:+-DSIGN="$sign"} tools/release/installer.nsi

(cd dist && sha256sum "$name-win32.zip" "$name-setup.exe" > SHA256SUMS)
echo "release: dist/ $(if [ -n "$sign" ]; then echo signed; else echo UNSIGNED; fi)"
ls -l dist
cat dist/SHA256SUMS
