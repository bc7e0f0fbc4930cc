#!/usr/bin/env bash
# Installs what building and testing needs, from Debian's packages, and does nothing
# when everything is already there. Safe to run on every build.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have_cmd i686-w64-mingw32-g++-win32 || need+=(g++-mingw-w64-i686-win32)  # the runtime shipped images link
have_pkg mingw-w64-i686-dev || need+=(mingw-w64-i686-dev)
have_cmd wine || need+=(wine)
have_pkg wine32:i386 || need+=(wine32:i386)
have_pkg wine64 || need+=(wine64)       # 64-bit Windows prefixes (WoW64)
have_pkg libgtest-dev || need+=(libgtest-dev)
have_pkg libbenchmark-dev || need+=(libbenchmark-dev)
have_pkg libfmt-dev || need+=(libfmt-dev)  # the frame benchmark's peer
have_cmd clang++ || need+=(clang)
have_cmd clang-tidy || need+=(clang-tidy)
have_cmd cppcheck || need+=(cppcheck)
have_pkg libclang-rt-dev || need+=(libclang-rt-dev)  # libFuzzer and the sanitizer runtimes
have_cmd python3 || need+=(python3)
have_cmd iconv || need+=(libc-bin)
have_pkg locales || need+=(locales)  # locale sources: a Chinese Windows under Wine
# The release: installer, signing, guides as HTML.
have_cmd makensis || need+=(nsis)
have_cmd osslsigncode || need+=(osslsigncode)
have_cmd openssl || need+=(openssl)
have_cmd softhsm2-util || need+=(softhsm2)  # release tests: a signing key in a token
have_pkg libengine-pkcs11-openssl || need+=(libengine-pkcs11-openssl)
have_pkg python3-markdown || need+=(python3-markdown)
have_pkg python3-pefile || need+=(python3-pefile)  # the shipped images' checks
have_pkg python3-capstone || need+=(python3-capstone)  # and the code they reach

if [ ${#need[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: missing packages: ${need[*]}; run this script as root to install them" >&2
    exit 1
fi

echo "bootstrap: installing ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
