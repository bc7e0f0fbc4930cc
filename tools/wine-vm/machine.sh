# What the test machine is made of, where it lives and how it starts; sourced by the scripts
# here, so that each of these facts is kept once.

vm_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# The folder of the image (kernel, initrd, disk and the logs of its making).
vm_folder="${MERUVIA_WINE_VM:-/var/cache/meruvia-wine-vm}"
# Packages inside the machine: Wine for 32- and 64-bit Windows, what the tests run besides
# (Python, pefile, CMake's ctest, osslsigncode, socat), locales for a Chinese Windows, and the
# tools of the boot.
vm_packages=(wine wine32:i386 wine64 python3 python3-pefile cmake osslsigncode socat locales iproute2 procps
             psmisc)
# The Wine prefixes made once, into the image: a 32-bit Windows, a 64-bit one (the 32-bit
# driver in WoW64) and a 32-bit one that reports Windows XP.
vm_prefix_kinds=(win32 win64 winxp)
vm_prefixes=/var/lib/meruvia-wine-prefixes

# The image is made again whenever anything that goes into it changes (not when only the
# way it is started does).
vm_stamp() {
    { cat "$vm_here/build-image.sh" "$vm_here/vm-init" "$vm_here/make-prefixes.sh"
      echo "${vm_packages[*]} / ${vm_prefix_kinds[*]} / $vm_prefixes"; } | sha256sum | cut -c1-16
}
vm_image() { echo "$vm_folder/image-$(vm_stamp).img"; }
vm_ready() { [ -f "$(vm_image)" ] && [ -f "$vm_folder/vmlinuz" ] && [ -f "$vm_folder/initrd.img" ]; }

# This machine's own Debian package sources (apt's view of them, whatever file holds them),
# as "URI SUITE COMPONENT" lines: the image takes its packages from where this machine does.
vm_apt_sources() {
    apt-get indextargets --format '$(REPO_URI) $(CODENAME) $(COMPONENT) $(ORIGIN)' 2>/dev/null |
        awk '$4 == "Debian" { print $1, $2, $3 }' | sort -u
}

# vm_boot LOGS KERNEL-ARGS...: boots the image (or VM_IMAGE), with VM_SHARE (a folder, seen at the same
# path inside) and VM_SNAPSHOT=1 (nothing written to the image stays), streams what the
# machine's command prints, and returns the command's exit status. A machine that ends
# without one (a hang past VM_MINUTES, a crash, qemu failing) returns 125, after the last
# lines of the machine's console and qemu's own exit status. LOGS keeps the console and
# the output.
vm_boot() {
    local logs="$1"
    shift
    local out="$logs/output.log" console="$logs/console.log" timed_out="$logs/timed-out"
    mkdir -p "$logs"
    : >"$out"
    : >"$console"
    rm -f "$timed_out"
    # Software emulation (no KVM here). SMAP is left out of the emulated processor: with
    # it, this qemu faults the iret with which Wine returns to 32-bit code.
    local qemu=(qemu-system-x86_64 -machine q35 -cpu max,smap=off -smp "$(nproc)" -m 12G
        -display none -monitor none -no-reboot
        -kernel "$vm_folder/vmlinuz" -initrd "$vm_folder/initrd.img"
        -append "root=/dev/vda rw console=ttyS0 loglevel=4 init=/sbin/vm-init $*"
        -drive "file=${VM_IMAGE:-$(vm_image)},if=virtio,format=raw"
        -serial "file:$console"
        -device virtio-serial-pci -chardev "file,id=out,path=$out" -device "virtconsole,chardev=out")
    [ "${VM_SNAPSHOT-}" = 1 ] && qemu+=(-snapshot)
    [ -n "${VM_SHARE-}" ] &&
        qemu+=(-virtfs "local,path=$VM_SHARE,mount_tag=share,security_model=passthrough,id=share")
    "${qemu[@]}" </dev/null >"$logs/qemu.log" 2>&1 &
    local qpid=$!
    local minutes="${VM_MINUTES:-60}"
    # What the command prints, as it comes, without the machine's own framing lines.
    tail -n +1 -F --pid="$qpid" "$out" 2>/dev/null |
        sed -u -n -e 's/\r$//' -e '/^meruvia-vm: running$/d' -e '/^meruvia-vm: exit status [0-9]*$/q' -e p &
    local streamer=$!
    # The time limit, kept here: nothing left behind holds the caller's output open.
    local deadline=$((SECONDS + minutes * 60))
    while kill -0 "$qpid" 2>/dev/null; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            touch "$timed_out"
            kill "$qpid" 2>/dev/null
        fi
        sleep 1
    done
    local qstatus=0
    wait "$qpid" || qstatus=$?
    wait "$streamer" 2>/dev/null
    local status
    status="$(sed -n 's/^meruvia-vm: exit status \([0-9]*\)\r*$/\1/p' "$out" | tail -1)"
    if [ -n "$status" ]; then
        return "$status"
    fi
    {
        echo
        if [ -f "$timed_out" ]; then
            echo "wine-vm: the virtual machine was stopped after its time limit of $minutes minutes (VM_MINUTES)"
        else
            echo "wine-vm: the virtual machine ended without the command's exit status"
        fi
        echo "wine-vm: qemu's exit status: $qstatus"
        [ -s "$logs/qemu.log" ] && sed 's/^/wine-vm: qemu: /' "$logs/qemu.log" | tail -10
        echo "wine-vm: the last lines of the machine's console ($console):"
        tr -d '\r' <"$console" | tail -25 | sed 's/^/    /'
    } >&2
    return 125
}
