#!/usr/bin/env bash
# wine_lab.sh --prefix TEMPLATE [--devices SIMULATOR] COMMAND [ARGUMENT]...
# Runs COMMAND, one test of the Windows build, in a lab of its own that goes
# with it, also when it is killed: fresh network and mount namespaces, and a
# Wine prefix copied from TEMPLATE (made here the first time, with
# wineboot) whose Wine server runs inside them. ctest runs every Qt test of
# the Windows build through it (CMAKE_CROSSCOMPILING_EMULATOR,
# cmake/windows_cross.cmake) and the tests of the package that need Wine.
# The lab, as the tests expect it (tests/net/windows/wine_lab.h):
#   this namespace: w0 10.77.0.1/24 and fd77::1/64, w1 10.77.1.1/24 and
#     10.77.1.9/24, 10.99.0.1/32 on lo;
#   a device namespace: d0 10.77.0.2/24 and fd77::2/64 on a link to w0,
#     d1 10.77.1.2/24 on a link to w1.
# With --devices, three devices in turn (SIMULATOR, quorvel-sim) answer the
# listener's port from port 7080 of the device namespace, on both families,
# all along.
# COMMAND gets QUORVEL_WINE_LAB=1, QUORVEL_DEVICE_NAMESPACE (for
# `ip netns exec`), QUORVEL_DEVICE_IPV4, QUORVEL_DEVICE_IPV6_PEER_IP,
# QUORVEL_EXPECTED_ADDRESSES (this namespace's IPv4 addresses but lo's),
# WINEPREFIX and Wine's settings.
# Without root, namespaces or Wine, the test does not run (exit status 77).
set -euo pipefail
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

. "$(dirname "$0")/../support/not_run.sh"

options=("$@")
[ "${1:-}" = --prefix ] && [ $# -ge 3 ] || { echo "usage: wine_lab.sh --prefix TEMPLATE [--devices SIMULATOR] COMMAND..." >&2; exit 2; }
template=$2
shift 2
simulator=
[ "$1" = --devices ] && { simulator=$2; shift 2; }

if [ "${QUORVEL_IN_WINE_LAB:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || unavailable "the Wine lab needs root for its network namespaces"
    [ -x "$wine" ] || unavailable "Wine is not installed (bash scripts/setup.sh windows)"
    command -v ip >/dev/null || unavailable "ip is not installed (bash scripts/setup.sh build)"
    unshare --net --mount --propagation private true 2>/dev/null || unavailable "cannot make network namespaces"
    [ -z "$simulator" ] || [ -x "$simulator" ] || unavailable "no device simulator at $simulator (cmake --build --preset windows builds it)"
    # Namespaces added with `ip netns add` in here live in a private /run/netns.
    mkdir -p /run/netns
    exec unshare --net --mount --propagation private env QUORVEL_IN_WINE_LAB=1 bash "$0" "${options[@]}"
fi
mount -t tmpfs quorvel-netns /run/netns

# Debian's Wine keeps a prefix's server in a folder of its own under /tmp,
# whose name it writes into the prefix ("wineserver"); inside it, the
# server's socket is named after the prefix's device and inode. A prefix
# that inherits the name shares the folder with every other one that does,
# and an overlay's device and inode come back once it is gone: the next lab
# would reach a server of the last one that is still ending, in that lab's
# network namespace and on its X display. So each prefix here gets a
# server folder of its own, removed with its server.
server_folder() {
    local name
    name=$(cat "$1/wineserver" 2>/dev/null) || return 1
    [[ "$name" =~ ^wine-[A-Za-z0-9]{6}$ ]] && echo "/tmp/$name"
}
# end_wine_server PREFIX: ends the prefix's server and its programs, waits
# for the server to be gone, and removes its folder.
end_wine_server() {
    local folder
    WINEPREFIX=$1 $wineserver -k 2>/dev/null || true
    WINEPREFIX=$1 $wineserver -w 2>/dev/null || true
    if folder=$(server_folder "$1"); then rm -rf "$folder"; fi
    rm -f "$1/wineserver"
}

work=$(mktemp -d /tmp/quorvel-wine-lab.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ -d "$work/prefix/drive_c" ]; then
        end_wine_server "$work/prefix"
        umount "$work/prefix" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

device_namespace=quorvel-devices
ip link set lo up
ip netns add "$device_namespace"
in_devices() { ip netns exec "$device_namespace" "$@"; }
in_devices ip link set lo up
ip link add w0 type veth peer name d0 netns "$device_namespace"
ip link add w1 type veth peer name d1 netns "$device_namespace"
ip addr add 10.77.0.1/24 dev w0
ip addr add fd77::1/64 dev w0 nodad
ip addr add 10.77.1.1/24 dev w1
ip addr add 10.77.1.9/24 dev w1
ip addr add 10.99.0.1/32 dev lo
in_devices ip addr add 10.77.0.2/24 dev d0
in_devices ip addr add fd77::2/64 dev d0 nodad
in_devices ip addr add 10.77.1.2/24 dev d1
for link in w0 w1; do ip link set "$link" up; done
for link in d0 d1; do in_devices ip link set "$link" up; done
expected=$(ip -4 -o addr show | awk '$2 != "lo" { sub(/\/.*/, "", $4); print $4 }' | paste -sd,)

export WINEARCH=win64 WINEDEBUG=fixme-all WINEDLLOVERRIDES='mscoree,mshtml='
unset WINEPATH DISPLAY
# The template is booted once per Wine version, inside a lab too, by whichever test comes
# first; Wine's server goes with it. Each test then gets the template as
# its own prefix, its changes kept apart in an overlay: wineboot takes many
# seconds, and a copy of the prefix is some 700 MB.
(
    flock 9
    version=$($wine --version)
    if [ "$(cat "$template/.booted" 2>/dev/null)" != "$version" ]; then
        rm -rf "$template"
        WINEPREFIX=$template $wine wineboot -i >/dev/null 2>&1
        WINEPREFIX=$template $wineserver -w  # the registry saved
        end_wine_server "$template"
        echo "$version" >"$template/.booted"
    fi
) 9>"$template.lock"
mkdir "$work/prefix" "$work/changes" "$work/overlay"
mount -t overlay quorvel-wine-prefix -o "lowerdir=$template,upperdir=$work/changes,workdir=$work/overlay" "$work/prefix"
# Wine then names a server folder of this prefix's own (a template booted
# by an older lab still names one).
rm -f "$work/prefix/wineserver"
# Wine's server owns every socket of its programs: the test's first Wine
# program starts it, here in the lab.
export WINEPREFIX=$work/prefix

if [ -n "$simulator" ]; then
    stream=(--count 0 --interval-ms 10 --timeout 1800 --name "Seq A" --device --name "Seq B" --device --name "Seq C")
    in_devices "$simulator" --send-to 10.77.0.1 --from 10.77.0.2 "${stream[@]}" >/dev/null &
    pids+=($!)
    in_devices "$simulator" --send-to fd77::1 --from fd77::2 "${stream[@]}" >/dev/null &
    pids+=($!)
fi

status=0
env QUORVEL_WINE_LAB=1 QUORVEL_DEVICE_NAMESPACE="$device_namespace" \
    QUORVEL_DEVICE_IPV4=10.77.0.2 QUORVEL_DEVICE_IPV6_PEER_IP=FD77:0:0:0:0:0:0:2 \
    QUORVEL_EXPECTED_ADDRESSES="$expected" "$@" || status=$?
exit $status
