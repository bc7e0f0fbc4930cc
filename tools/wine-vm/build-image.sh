#!/usr/bin/env bash
# Builds the virtual machine in which the Windows tests run where this machine's Linux
# kernel runs no 32-bit programs (IA-32 emulation off), so that Wine's 32-bit side cannot
# start here. The machine is Debian with its own kernel, which runs 32-bit programs, and
# Wine as Debian packs it; qemu emulates it in software, so no virtualisation support is
# needed. Nothing of this checkout goes into the image: the VM sees the checkout through a
# shared folder at the same path.
#
#   build-image.sh [FOLDER]     FOLDER defaults to $MERUVIA_WINE_VM or /var/cache/meruvia-wine-vm
#
# Does nothing when the image for this script's package list is already there.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
folder="${1:-${MERUVIA_WINE_VM:-/var/cache/meruvia-wine-vm}}"
readonly suite=bookworm
readonly mirror=http://deb.debian.org/debian
readonly packages=(wine wine32:i386 wine64 python3 python3-pefile cmake locales iproute2 procps)
# The image is rebuilt whenever what goes into it changes.
stamp="$(cat "$here/build-image.sh" "$here/vm-init" | sha256sum | cut -c1-16)"
if [ -f "$folder/image-$stamp.img" ] && [ -f "$folder/vmlinuz" ] && [ -f "$folder/initrd.img" ]; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "build-image: run as root (debootstrap and chroot need it)" >&2
    exit 1
fi
need=()
command -v debootstrap >/dev/null || need+=(debootstrap)
command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
command -v mkfs.ext4 >/dev/null || need+=(e2fsprogs)
if [ ${#need[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

mkdir -p "$folder"
root="$folder/root"
rm -rf "$root" "$folder"/image-*.img
echo "build-image: Debian $suite for the Windows tests, into $folder (some minutes, once)"
debootstrap --variant=minbase --include=ca-certificates,kmod,udev,linux-image-amd64,initramfs-tools \
    "$suite" "$root" "$mirror" >"$folder/debootstrap.log" 2>&1 ||
    { tail -20 "$folder/debootstrap.log" >&2; exit 1; }
for d in proc sys dev dev/pts; do mount --bind "/$d" "$root/$d"; done
trap 'for d in dev/pts dev sys proc; do umount "$root/$d" 2>/dev/null || true; done' EXIT
chroot "$root" bash -c "dpkg --add-architecture i386 && apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ${packages[*]} >/dev/null"
for d in dev/pts dev sys proc; do umount "$root/$d"; done
trap - EXIT

install -m 755 "$here/vm-init" "$root/sbin/vm-init"
echo vm >"$root/etc/hostname"
echo "127.0.0.1 localhost vm" >"$root/etc/hosts"
cp "$root"/boot/vmlinuz-* "$folder/vmlinuz"
cp "$root"/boot/initrd.img-* "$folder/initrd.img"
mkfs.ext4 -q -F -d "$root" "$folder/image-$stamp.img" 6G
rm -rf "$root"
echo "build-image: done"
