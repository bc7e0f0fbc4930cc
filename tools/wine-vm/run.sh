#!/usr/bin/env bash
# Runs a command inside the test virtual machine (see build-image.sh), in the current
# folder, which must lie inside SHARE: the machine sees SHARE at the same path. Prints what
# the command prints, as it comes, and exits with its status. Builds the image first if
# there is none.
#
#   run.sh SHARE COMMAND [ARGS...]
#   run.sh --shell SHARE        a shell in the machine instead ('exit' powers it off)
#
# MERUVIA_WINE_VM names the image's folder (default /var/cache/meruvia-wine-vm);
# MERUVIA_WINE_VM_MINUTES bounds the run (default 60). A machine that hangs past it, or
# ends without the command's status, fails the run with the last lines of its console.
set -euo pipefail
. "$(dirname "$0")/machine.sh"
shell=""
if [ "${1-}" = --shell ]; then
    shell=1
    shift
fi
[ $# -ge 1 ] || { echo "usage: run.sh SHARE COMMAND [ARGS...] | run.sh --shell SHARE" >&2; exit 2; }
share="$(cd "$1" && pwd)"
shift
case "$PWD/" in
    "$share"/*) ;;
    *) echo "run.sh: the current folder $PWD is not inside $share" >&2; exit 2 ;;
esac
bash "$vm_here/build-image.sh"

if [ -n "$shell" ]; then
    # The person's terminal is the machine's console.
    exec qemu-system-x86_64 -machine q35 -cpu max,smap=off -smp "$(nproc)" -m 12G -nographic -no-reboot \
        -kernel "$vm_folder/vmlinuz" -initrd "$vm_folder/initrd.img" \
        -append "root=/dev/vda rw console=ttyS0 quiet init=/sbin/vm-init meruvia.share=$share meruvia.shell=1" \
        -drive "file=$(vm_image),if=virtio,format=raw" -snapshot \
        -virtfs "local,path=$share,mount_tag=share,security_model=passthrough,id=share"
fi

# The command, as a script in the shared folder. The build recorded the path of the Python
# it found; the machine's own Python answers to that path too.
script="$(mktemp -p "$share" .wine-vm-run-XXXXXX)"
trap 'rm -f "$script"' EXIT
{
    printf 'for python in $(find %q -maxdepth 3 -name CMakeCache.txt -exec grep -h "^_*Python3_EXECUTABLE:" {} + | cut -d= -f2 | sort -u); do\n' "$share"
    echo '    [ -e "$python" ] || { mkdir -p "$(dirname "$python")"; ln -s /usr/bin/python3 "$python"; }'
    echo 'done'
    # The tests' prefixes live in the machine's memory: quick, and the image keeps its room.
    echo 'mkdir -p /var/tmp/meruvia-prefixes && mount -t tmpfs -o size=10G tmpfs /var/tmp/meruvia-prefixes'
    printf 'export MERUVIA_WINE_PREFIXES=%q MERUVIA_WINE_LOCAL=/var/tmp/meruvia-prefixes\n' "$vm_prefixes"
    printf 'cd %q || exit 2\n' "$PWD"
    printf '%q ' "$@"
    echo
} >"$script"

# The logs of the latest runs stay beside the image.
mkdir -p "$vm_folder/runs"
logs="$(mktemp -d "$vm_folder/runs/$(date +%Y%m%d-%H%M%S)-XXXX")"
ls -1d "$vm_folder"/runs/*/ | head -n -5 | xargs -r rm -rf
status=0
VM_SHARE="$share" VM_SNAPSHOT=1 VM_MINUTES="${MERUVIA_WINE_VM_MINUTES:-60}" \
    vm_boot "$logs" "meruvia.share=$share" "meruvia.run=$script" || status=$?
exit "$status"
