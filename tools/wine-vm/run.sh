#!/usr/bin/env bash
# Runs a command inside the test virtual machine (see build-image.sh), in the current
# folder, which must lie inside SHARE: the machine sees SHARE at the same path. Prints
# what the command prints and exits with its status.
#
#   run.sh SHARE COMMAND [ARGS...]
#
# MERUVIA_WINE_VM names the folder of the image (default /var/cache/meruvia-wine-vm);
# MERUVIA_WINE_VM_MINUTES bounds the run (default 60).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
folder="${MERUVIA_WINE_VM:-/var/cache/meruvia-wine-vm}"
share="$(cd "$1" && pwd)"
shift
case "$PWD/" in
    "$share"/*) ;;
    *) echo "run.sh: the current folder $PWD is not inside $share" >&2; exit 2 ;;
esac
bash "$here/build-image.sh" "$folder"
stamp="$(cat "$here/build-image.sh" "$here/vm-init" | sha256sum | cut -c1-16)"

# The command, as a script in the shared folder. The build recorded the path of the Python
# it found; the machine's own Python answers to that path too.
script="$(mktemp -p "$share" .wine-vm-run-XXXXXX)"
log="$(mktemp)"
trap 'rm -f "$script" "$log"' EXIT
{
    printf 'for python in $(find %q -maxdepth 3 -name CMakeCache.txt -exec grep -h "^_*Python3_EXECUTABLE:" {} + | cut -d= -f2 | sort -u); do\n' "$share"
    echo '    [ -e "$python" ] || { mkdir -p "$(dirname "$python")"; ln -s /usr/bin/python3 "$python"; }'
    echo 'done'
    printf 'cd %q || exit 2\n' "$PWD"
    printf 'echo "meruvia-vm: running"\n'
    printf '%q ' "$@"
    echo
} >"$script"

# Software emulation (no KVM here); -snapshot keeps the image as it was built. SMAP is
# left out of the emulated processor: with it, this qemu faults the iret with which Wine
# returns to 32-bit code.
timeout "$(( ${MERUVIA_WINE_VM_MINUTES:-60} * 60 ))" \
    qemu-system-x86_64 -machine q35 -cpu max,smap=off -smp "$(nproc)" -m 8G -nographic -no-reboot \
    -kernel "$folder/vmlinuz" -initrd "$folder/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet loglevel=0 init=/sbin/vm-init meruvia.share=$share meruvia.run=$script" \
    -drive "file=$folder/image-$stamp.img,if=virtio,format=raw" -snapshot \
    -virtfs "local,path=$share,mount_tag=share,security_model=passthrough,id=share" </dev/null 2>&1 |
    tee "$log" | sed -u 's/\r$//' | sed -u -n '/meruvia-vm: running$/,/meruvia-vm: exit status/p' | sed -u '1d;$d'
status="$(tr -d '\r' <"$log" | sed -n 's/^meruvia-vm: exit status \([0-9]*\)$/\1/p' | tail -1)"
if [ -z "$status" ]; then
    echo "run.sh: the virtual machine ended without the command's status" >&2
    tail -20 "$log" >&2
    exit 1
fi
exit "$status"
