#!/usr/bin/env bash
# Builds the virtual machine in which the Windows tests run where this machine's Linux
# kernel runs no 32-bit programs (IA-32 emulation off), so that Wine's 32-bit side cannot
# start here. The machine is Debian with its own kernel, which runs 32-bit programs, and
# Wine as Debian packs it, with one Wine prefix of each kind the tests use made in advance;
# qemu emulates it in software, so no virtualisation support is needed. Nothing of this
# checkout goes into the image: the machine sees the checkout through a shared folder.
#
#   build-image.sh      into $MERUVIA_WINE_VM, or /var/cache/meruvia-wine-vm
#
# Does nothing when the image for what goes into it is already there. Packages come from
# this machine's own apt sources.
set -euo pipefail
. "$(dirname "$0")/machine.sh"
vm_ready && exit 0
if [ "$(id -u)" -ne 0 ]; then
    echo "build-image: run as root (debootstrap and chroot need it)" >&2
    exit 1
fi
start=$SECONDS
log="$vm_folder/build.log"
say() { echo "build-image: $* ($((SECONDS - start)) s)"; }
# A long step, its output into the log, with a line every 30 s so that a person (or CI)
# sees it is alive.
step() {
    local what="$1"
    shift
    say "$what"
    "$@" >>"$log" 2>&1 &
    local pid=$! status=0
    while kill -0 "$pid" 2>/dev/null; do
        for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null && sleep 1; done
        kill -0 "$pid" 2>/dev/null && say "  still $what"
    done
    wait "$pid" || status=$?
    return $status
}

need=()
command -v debootstrap >/dev/null || need+=(debootstrap)
command -v qemu-system-x86_64 >/dev/null || need+=(qemu-system-x86)
command -v mkfs.ext4 >/dev/null || need+=(e2fsprogs)
sources="$(vm_apt_sources)"
if [ ${#need[@]} -gt 0 ] || [ -z "$sources" ]; then
    apt-get update -qq
    sources="$(vm_apt_sources)"
fi
if [ ${#need[@]} -gt 0 ]; then
    say "installing ${need[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null 2>&1 ||
        { echo "build-image: could not install ${need[*]}" >&2; exit 1; }
fi
suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"
mirror="$(awk -v s="$suite" '$2 == s { print $1; exit }' <<<"$sources")"
if [ -z "$mirror" ]; then
    echo "build-image: this machine's apt configuration names no Debian source for $suite" >&2
    exit 1
fi

mkdir -p "$vm_folder"
root="$vm_folder/root"
rm -rf "$root" "$vm_folder"/image-*.img "$vm_folder"/partial.img
echo "build-image: Debian $suite from $mirror for the Windows tests, into $vm_folder" \
     "(about 10 minutes, once; the log is $log)"
: >"$log"
step "fetching and unpacking Debian" \
    debootstrap --variant=minbase --include=ca-certificates,kmod,udev,linux-image-amd64,initramfs-tools \
    "$suite" "$root" "$mirror" || { tail -20 "$log" >&2; exit 1; }
# The same sources inside as here (the updates and security ones too), grouped by suite.
awk '{ c[$1 " " $2] = c[$1 " " $2] " " $3 } END { for (k in c) print "deb " k c[k] }' <<<"$sources" \
    >"$root/etc/apt/sources.list"
for d in proc sys dev dev/pts; do mount --bind "/$d" "$root/$d"; done
trap 'for d in dev/pts dev sys proc; do umount "$root/$d" 2>/dev/null || true; done' EXIT
step "installing ${vm_packages[*]}" chroot "$root" bash -c "dpkg --add-architecture i386 && apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ${vm_packages[*]}" ||
    { tail -20 "$log" >&2; exit 1; }
chroot "$root" apt-get clean
for d in dev/pts dev sys proc; do umount "$root/$d"; done
trap - EXIT

install -m 755 "$vm_here/vm-init" "$root/sbin/vm-init"
install -m 755 "$vm_here/make-prefixes.sh" "$root/usr/local/bin/make-prefixes.sh"
printf '#!/bin/bash\nexec make-prefixes.sh %s %s\n' "$vm_prefixes" "${vm_prefix_kinds[*]}" \
    >"$root/usr/local/bin/first-boot"
chmod 755 "$root/usr/local/bin/first-boot"
echo vm >"$root/etc/hostname"
echo "127.0.0.1 localhost vm" >"$root/etc/hosts"
cp "$root"/boot/vmlinuz-* "$vm_folder/vmlinuz"
cp "$root"/boot/initrd.img-* "$vm_folder/initrd.img"
image="$(vm_image)"
mkfs.ext4 -q -F -d "$root" "$vm_folder/partial.img" 8G
rm -rf "$root"

# The prefixes are made by Wine itself, so inside the machine, once, onto the image.
say "booting the machine once to make its Wine prefixes (${vm_prefix_kinds[*]})"
if ! VM_IMAGE="$vm_folder/partial.img" VM_MINUTES=30 vm_boot "$vm_folder/first-boot" \
        meruvia.run=/usr/local/bin/first-boot; then
    echo "build-image: making the Wine prefixes failed" >&2
    exit 1
fi
mv "$vm_folder/partial.img" "$image"
say "done: $image"
