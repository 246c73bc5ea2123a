#!/usr/bin/env bash
# Cross-builds the whole project for Windows (build-windows/, the windows
# preset) and runs its tests under Wine, in network namespaces private to
# this run (gone with it, also when it is killed), with a fresh Wine prefix
# that is removed afterwards:
#   1. the Qt tests of the Windows build (ctest; scripts/run-under-wine.sh),
#      while a device namespace streams replies to the listener's port;
#   2. the package (scripts/package-windows.sh), and the real quorvel.exe
#      from it under Xvfb (tests/app/app_under_wine_windows.sh), with the
#      junk-flood benchmark's figures (bench/windows/);
#   3. the program's resources and version, its imports from Windows, the
#      installer, its folder (each in a Wine prefix of its own) and signing
#      (tests/windows/).
# Needs root for the namespaces: without it, fails in CI and is skipped
# elsewhere. Qt for MinGW is built once per machine.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
. tests/support/x_lab.sh

# The builds first, in the machine's own namespaces (they may install packages).
if [ "${QUORVEL_ISOLATED:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || unavailable "the Windows tests need root: network namespaces for Wine"
    QUORVEL_WINDOWS_STARTED=$(date +%s)
    echo "== Windows: Qt for MinGW and the cross build"
    QUORVEL_QT_MINGW=$(bash scripts/build-windows.sh)
    # Native helpers from the regular build: the device simulator, the
    # window-close request and the icon as Linux draws it; configured again
    # so that its version, the Debian package's, is this commit's.
    cmake --preset regular >/dev/null
    cmake --build --preset regular --target quorvel-sim send_close_request quorvel_icons >/dev/null
    export QUORVEL_WINDOWS_STARTED QUORVEL_QT_MINGW
fi
isolate_in_namespaces "ip unshare Xvfb xdotool" "$@"
started=$QUORVEL_WINDOWS_STARTED qt=$QUORVEL_QT_MINGW
sim=$repo/build/tools/quorvel-sim
deb_version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/CPackConfig.cmake)

lab=quorvel-win-$$
devices=quorvel-wdev-$$
wine_prefix=$(mktemp -d /tmp/quorvel-wine.XXXXXX)
pids=()
in_lab() { ip netns exec "$lab" "$@"; }
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait "${pids[@]}" 2>/dev/null || true
    in_lab /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    ip netns del "$lab" 2>/dev/null || true
    ip netns del "$devices" 2>/dev/null || true
    rm -rf "$wine_prefix"
}
trap cleanup EXIT

# The program's namespace: two links to the device namespace, a second
# address on the second link, IPv6 on the first, an address on lo.
ip netns add "$lab"
ip netns add "$devices"
ip -n "$lab" link set lo up
ip -n "$devices" link set lo up
ip link add w0 netns "$lab" type veth peer name d0 netns "$devices"
ip link add w1 netns "$lab" type veth peer name d1 netns "$devices"
ip -n "$lab" addr add 10.77.0.1/24 dev w0
ip -n "$lab" addr add fd77::1/64 dev w0 nodad
ip -n "$lab" addr add 10.77.1.1/24 dev w1
ip -n "$lab" addr add 10.77.1.9/24 dev w1
ip -n "$lab" addr add 10.99.0.1/32 dev lo
ip -n "$devices" addr add 10.77.0.2/24 dev d0
ip -n "$devices" addr add fd77::2/64 dev d0 nodad
ip -n "$devices" addr add 10.77.1.2/24 dev d1
for link in w0 w1; do ip -n "$lab" link set "$link" up; done
for link in d0 d1; do ip -n "$devices" link set "$link" up; done
expected=$(ip -n "$lab" -4 -o addr show | awk '$2 != "lo" { sub(/\/.*/, "", $4); print $4 }' | paste -sd,)

# Wine's server owns every socket of its programs, so it is started inside
# the namespace; later Wine programs attach to it.
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
export WINEPREFIX=$wine_prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
export WINEPATH="Z:$qt/bin;Z:$runtime;Z:/usr/x86_64-w64-mingw32/lib"
in_lab /usr/lib/wine/wineserver64 -p
in_lab /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1

# Three devices in turn, on both families, from port 7080 of the device
# namespace to the listener's port, for as long as the tests run.
stream=(--count 0 --interval-ms 10 --timeout 1800 --name "Seq A" --device --name "Seq B" --device --name "Seq C")
ip netns exec "$devices" "$sim" --send-to 10.77.0.1 --from 10.77.0.2 "${stream[@]}" >/dev/null &
pids+=($!)
ip netns exec "$devices" "$sim" --send-to fd77::1 --from fd77::2 "${stream[@]}" >/dev/null &
pids+=($!)

failed=0
echo "== Windows: the Windows build's tests under Wine"
ctest_log=$(mktemp)
in_lab env QUORVEL_WINE_LAB=1 QUORVEL_DEVICE_IPV4=10.77.0.2 QUORVEL_DEVICE_IPV6_PEER_IP=FD77:0:0:0:0:0:0:2 \
    QUORVEL_EXPECTED_ADDRESSES="$expected" \
    ctest --test-dir build-windows --output-on-failure 2>&1 | tee "$ctest_log" || failed=1
total=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$ctest_log")
bad=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$ctest_log")
rm -f "$ctest_log"
# Wine's known differences: the checks that detected one and were skipped.
echo "Skipped under Wine, with the reason:"
grep -h '^SKIP ' build-windows/Testing/Temporary/LastTest.log | sed 's/^SKIP *: */  /' || echo "  nothing"
# A run that printed no summary counts as one test, failed.
total=${total:-1} bad=${bad:-1}
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
wait "${pids[@]}" 2>/dev/null || true
pids=()

echo "== Windows: the package and the real program from it"
packaged=$(bash scripts/package-windows.sh)
zip=$(sed -n 1p <<<"$packaged") installer=$(sed -n 2p <<<"$packaged")
echo "$zip: $(stat -c %s "$zip") bytes"
echo "$installer: $(stat -c %s "$installer") bytes"
unset WINEPATH  # the program must find every DLL in its own folder
# One more test, failed when the command fails.
check() {
    total=$((total + 1))
    "$@" || { failed=1; bad=$((bad + 1)); }
}
check in_lab bash tests/app/app_under_wine_windows.sh "$zip" "$repo/build/tests/send_close_request" \
    "$devices" "$sim" "$repo/build-windows/quorvel-under-wine.png" "$repo/build-windows/tests/app/windows/window_styles.exe"
echo "== Windows: the junk-flood benchmark under Wine (figures, no pass or fail)"
in_lab bash bench/windows/junk_flood_under_wine.sh "$zip" "$repo/build-windows/bench/windows/winsock_receive_loop.exe" \
    "$devices" "$sim" "$repo/build/tests/send_close_request" || echo "the benchmark did not run to its end"
echo "== Windows: resources, imports, the installer and signing"
check bash tests/windows/program_resources.sh "$zip" "$installer" "$deb_version" build/resources/hicolor
check bash tests/windows/windows_imports.sh "$zip"
stand_ins=$repo/build-windows/tests/windows
check in_lab bash tests/windows/installer_under_wine.sh "$zip" "$installer" "$repo/build-windows/resources/quorvel.ico" \
    "$stand_ins/recording_stand_in.exe" "$repo/build/tests/send_close_request" \
    "$deb_version" "$repo/build-windows/quorvel-installed-under-wine.png" "$stand_ins/boxed_program_stand_in.exe"
check in_lab bash tests/windows/install_folder_under_wine.sh "$zip" "$installer" "$stand_ins/recording_stand_in.exe"
check in_lab bash tests/windows/signing.sh "$zip" "$installer"

echo "windows: $((total - bad)) tests passed, $bad tests failed out of $total, in $(( $(date +%s) - started )) s"
exit $failed
