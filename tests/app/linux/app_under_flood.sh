#!/usr/bin/env bash
# The real program under Xvfb while a host on its network floods it,
# everything inside network namespaces that this script makes:
#   1. with junk (datagrams with a wrong start mark, a second tool or a
#      misconfigured device): another host's reply sent meanwhile is listed,
#      and a close request ends the program with exit status 0 (its time is
#      printed beside that of a close without a flood);
#   then with valid, unsolicited replies (a switching loop, a broken or
#   hostile device):
#   2. the window stays responsive: a click empties the list and scans,
#   3. the program's memory stays bounded while the flood goes on,
#   4. a close request during the flood ends it with exit status 0.
# Usage: app_under_flood.sh QUORVEL QUORVEL-SIM SEND-CLOSE-REQUEST [MOST-RESIDENT-MB]
# MOST-RESIDENT-MB: the resident memory the program must stay under (none
# is checked without it, as under the sanitizers, which keep memory back).
set -euo pipefail
app=$1 sim=$2 closer=$3 mostResidentMb=${4:-}

. "$(dirname "$0")/../../support/x_lab.sh"
isolate_in_namespaces "Xvfb xdotool ip unshare import compare" "$@"
start_work

ip link set lo up
add_device flooder host1 10.78.0.1/24 10.78.0.2/24
ip netns exec flooder ip addr add 10.78.0.3/24 dev eth0  # another host on the link
start_xvfb 640x800

# The program, started anew: $app_pid and its $window.
start_app() {
    "$app" >>"$work/app.log" 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
    window=$(window_shown 60 '^Quorvel$') || fail "no window"
    sleep 1  # the first paint
}

echo "-- for reference, a close request without a flood"
start_app
closed_with "$closer" "$window" "$app_pid" 0 20 "close without a flood"
quiet_ms=$closed_ms

echo "-- a host floods port 7080 with junk as fast as one sender goes (bounded: 60 s at most)"
start_app
import -window "$window" "$work/empty.png" 2>/dev/null || fail "no screenshot"
ip netns exec flooder "$sim" --kind malformed --send-to 10.78.0.1 --count 0 --timeout 60 >"$work/junk.log" 2>&1 &
junk=$!
pids+=($junk)
sleep 8
ip netns exec flooder "$sim" --send-to 10.78.0.1 --from 10.78.0.3 --ip 10.78.0.3 --name "Hala 2" >/dev/null
sleep 4
import -window "$window" "$work/reply.png" 2>/dev/null || fail "no screenshot"
changed=$(pixels_changed "$work/empty.png" "$work/reply.png")
[ "$changed" -gt 2000 ] 2>/dev/null ||
    fail "another host's reply, sent 8 s into the junk flood, was not listed 4 s later ($changed pixels changed)"
echo "another host's reply during the junk flood listed ($changed pixels changed)"
closed_with "$closer" "$window" "$app_pid" 0 20 "close during the junk flood"
echo "closed during the junk flood in $closed_ms ms (without a flood: $quiet_ms ms), exit status 0"
kill "$junk" 2>/dev/null || true

start_app
resident_mb() { awk '/^VmRSS:/ { print int($2 / 1024) }' "/proc/$app_pid/status"; }
peak_mb() { awk '/^VmHWM:/ { print int($2 / 1024) }' "/proc/$app_pid/status"; }

echo "-- a host floods port 7080 with valid replies (bounded: 60 s at most)"
ip netns exec flooder "$sim" --ip 10.78.0.2 --name "Pętla" --send-to 10.78.0.1 --count 0 --timeout 60 \
    >"$work/flood.log" 2>&1 &
pids+=($!)
sleep 4
echo "after 4 s of flood: $(resident_mb) MB resident"

# The band is 351 x 104 at (16, 60) of the client area: the click empties
# the list and broadcasts a request, which a device beside the flooder hears.
ip netns exec flooder "$sim" --ip 10.78.0.2 --name "Hala 1" --timeout 60 >"$work/device.log" 2>&1 &
pids+=($!)
timeout 10 bash -c "until grep -q 'listening on' '$work/device.log'; do sleep 0.1; done" || fail "the device did not start"
xdotool mousemove --window "$window" 191 112 click 1
timeout 20 bash -c "until grep -q answered '$work/device.log'; do sleep 0.1; done" ||
    fail "the click during the flood sent no request"
echo "the click during the flood scanned"

sleep 4
peak=$(peak_mb)
echo "after 9 s of flood: $(resident_mb) MB resident, $peak MB at most"
if [ -n "$mostResidentMb" ] && [ "$peak" -ge "$mostResidentMb" ]; then
    fail "the program took $peak MB under the flood (bound $mostResidentMb MB)"
fi

closed_with "$closer" "$window" "$app_pid" 0 20 "close during the flood"
echo "closed during the flood in $closed_ms ms, exit status 0"
