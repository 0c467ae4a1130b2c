# Debian roots that mmdebstrap makes from Debian's archive; sourced by scripts/debian11,
# scripts/debian13 and scripts/arm64-systems.
mirror="${DEBIAN_MIRROR:-http://deb.debian.org/debian}"

# bootstrap SUITE [MMDEBSTRAP OPTION ...]: a root used by its hooks only, then thrown away.
# Manual pages, documentation and translations are left out: nothing here reads them, and
# indexing manual pages would take longer than the build.
bootstrap() {
    local suite="$1"
    shift
    # A copy of a moving suite's archive may outlive its Release file's validity.
    case "$suite" in
        testing|unstable|sid) set -- --aptopt='Acquire::Check-Valid-Until "false"' "$@" ;;
    esac
    mmdebstrap --quiet --aptopt='Acquire::Retries "5"' --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*' \
        --dpkgopt='path-exclude=/usr/share/locale/*' "$@" "$suite" /dev/null "$mirror"
}

# build_depends: the Build-Depends of debian/control, tests' included, as a comma-separated list.
build_depends() {
    perl -MDpkg::Control::Info -MDpkg::Deps -e '
        my $deps = deps_parse(Dpkg::Control::Info->new($ARGV[0])->get_source->{"Build-Depends"},
                              build_dep => 1, reduce_restrictions => 1, build_profiles => []);
        print join(",", map { $_->{package} } $deps->get_deps);' "$1/debian/control"
}

# A hook that waits up to a minute for the processes still running in the root to end, so that
# it can be unmounted: emulated, what a session started can outlive its X server for a while.
await_leftovers='for _ in $(seq 60); do
    busy=""
    for process in /proc/[0-9]*; do
        [ "$(readlink "$process/root" 2>/dev/null)" = "$1" ] && busy=yes
    done
    [ -z "$busy" ] && break
    sleep 1
done'

# start_in_clean_root ARCH SUITE DEBS SCREENSHOT: in a clean root, installs the idcardshow and
# idcardshow-simdriver packages of ARCH found in the folder DEBS with apt, starts the installed
# program on a virtual X server, reads the simulated card, writes the window to SCREENSHOT and
# runs idcardshow-check. The font is named so that every root draws the same glyphs.
start_in_clean_root() {
    local arch="$1" suite="$2" debs="$3" screenshot="$4"
    local mine
    mine=$(mktemp -d)
    cp "$debs/idcardshow_"*"_$arch.deb" "$debs/idcardshow-simdriver_"*"_$arch.deb" "$mine"
    bootstrap "$suite" --variant=apt --arch="$arch" \
        --customize-hook="copy-in $mine $(dirname "${BASH_SOURCE[0]}")/xsession.py /tmp" \
        --customize-hook='chroot "$1" sh -ec "
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/'"$(basename "$mine")"'/*.deb \
                fonts-wqy-microhei xvfb xauth xdotool python3-xlib >/dev/null
            python3 /tmp/xsession.py /usr/bin/idcardshow /tmp/window.png >/dev/null
            XDG_RUNTIME_DIR=/tmp idcardshow-check >/dev/null"' \
        --customize-hook="$await_leftovers" \
        --customize-hook="copy-out /tmp/window.png $mine"
    mv "$mine/window.png" "$screenshot"
    rm -rf "$mine"
}
