# Checks of built Debian packages; sourced by scripts/package, and by scripts/debian13 inside
# its root.

# check_packages FOLDER ARCH: in the idcardshow and idcardshow-simdriver packages of ARCH in
# FOLDER, the simulator's libraries sit in the multiarch folder, and the binaries are hardened.
check_packages() {
    local debs="$1" arch="$2"
    local folder listing unpacked tools
    folder="usr/lib/$(dpkg-architecture -a "$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)"
    listing=$(dpkg-deb -c "$debs/idcardshow-simdriver_1.0.0_$arch.deb")
    for soname in libKestrelCardDriver.so.1 libKestrelSE32.so.1; do
        grep -q " ./$folder/$soname " <<<"$listing" \
            || { echo "package: $soname is not in /$folder in the $arch package" >&2; return 1; }
    done
    unpacked="$debs/unpacked-$arch"
    rm -rf "$unpacked"
    for deb in idcardshow_1.0.0_$arch.deb idcardshow-simdriver_1.0.0_$arch.deb; do
        dpkg-deb -x "$debs/$deb" "$unpacked"
    done
    # hardening-check disassembles with objdump: the architecture's own, from the cross binutils.
    tools="$debs/tools-$arch"
    mkdir -p "$tools"
    [ "$arch" = "$(dpkg --print-architecture)" ] \
        || ln -sf "/usr/bin/$(dpkg-architecture -a "$arch" -qDEB_HOST_GNU_TYPE 2>/dev/null)-objdump" "$tools/objdump"
    local exemptions nofortify=()
    read -ra exemptions <<<"$(hardening_exemptions "$arch")"
    PATH="$tools:$PATH" hardening-check --quiet "${exemptions[@]}" "$unpacked/$folder"/libKestrel*.so.1 \
        "$unpacked/usr/bin/idcardshow-check"
    # On arm64 the program's one libc call that fortify knows is the memset GCC emits to zero
    # the driver's fixed-size buffers; its size is a constant, so it never becomes __memset_chk.
    [ "$arch" = amd64 ] || nofortify=(--nofortify)
    PATH="$tools:$PATH" hardening-check --quiet "${exemptions[@]}" "${nofortify[@]}" "$unpacked/usr/bin/idcardshow"
    echo "package: $arch binaries pass hardening-check"
}

# hardening_exemptions ARCH: the options that leave out what binaries of ARCH cannot have here.
# Control-flow protection is amd64's, branch protection arm64's (devscripts 2.25 asks for both
# everywhere), and either marks a program only where the C library's start files carry the
# mark too, which Debian 12's and 13's do not.
hardening_exemptions() {
    local arch="$1" notes
    notes=$(readelf -n "/usr/lib/$(dpkg-architecture -a "$arch" -qDEB_HOST_MULTIARCH 2>/dev/null)/crt1.o" 2>/dev/null || true)
    [ "$arch" = amd64 ] && [[ "$notes" == *"x86 feature: IBT"* ]] || echo -n "--nocfprotection "
    if grep -q nobranchprotection "$(command -v hardening-check)"; then
        [ "$arch" = arm64 ] && [[ "$notes" == *"AArch64 feature: BTI"* ]] || echo -n "--nobranchprotection"
    fi
}
