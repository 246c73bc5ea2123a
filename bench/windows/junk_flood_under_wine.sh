#!/usr/bin/env bash
# junk_flood_under_wine.sh ZIP RECEIVE-LOOP SIMULATOR SEND-CLOSE
# A benchmark: figures only; it fails only when it could not measure. A
# host floods port 7080 with junk (a wrong start mark) as fast as one
# sender goes (SIMULATOR, quorvel-sim, from the device namespace); prints how many junk datagrams per second the real
# quorvel.exe from the zip takes in and drops under Wine, against the
# fastest of Winsock's receive loops (RECEIVE-LOOP, winsock_receive_loop.exe)
# under a flood of the same sender, in the same run, as a ratio. Counted by
# the kernel (/proc/net/snmp of this namespace): datagrams taken from the
# sockets, and those lost at a full socket buffer. Run by ctest in a Wine
# lab (tests/windows/wine_lab.sh: 10.77.0.1 on a link to the device
# namespace), with its Wine prefix.
set -euo pipefail
zip=$1 loop_exe=$2 sim=$3 send_close=$4
devices=$QUORVEL_DEVICE_NAMESPACE
wine=/usr/lib/wine/wine64
measured=3  # seconds

. "$(dirname "$0")/../../tests/support/x_lab.sh"
start_work
mkdir "$work/app"
unzip -q "$zip" -d "$work/app"
start_xvfb 800x700  # first: the Wine desktop keeps the display it started with
$wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

# "taken lost" from the namespace's UDP counters (InDatagrams, RcvbufErrors).
udp_counters() {
    awk '/^Udp:/ { if (!named) { named = 1; for (i = 2; i <= NF; i++) name[i] = $i; next }
                   for (i = 2; i <= NF; i++) value[name[i]] = $i; print value["InDatagrams"], value["RcvbufErrors"] }' \
        /proc/net/snmp
}

# Per second over $measured seconds, while a receiver runs: sets `taken` and `lost`.
measure() {
    local before after start end
    before=$(udp_counters) start=$(date +%s%N)
    sleep "$measured"
    after=$(udp_counters) end=$(date +%s%N)
    read -r taken lost < <(awk -v b="$before" -v a="$after" -v ns=$((end - start)) 'BEGIN {
        split(b, x, " "); split(a, y, " "); printf "%.0f %.0f\n", (y[1] - x[1]) * 1e9 / ns, (y[2] - x[2]) * 1e9 / ns }')
}

start_junk() {
    ip netns exec "$devices" "$sim" --kind malformed --send-to 10.77.0.1 --count 0 --timeout 30 >/dev/null 2>&1 &
    junk=$!
    pids+=($junk)
    sleep 1  # the sender and the receiver under way
}

(cd "$work/app" && exec $wine ./quorvel.exe) >"$work/app.log" 2>&1 &
app=$!
pids+=($app)
window=$(window_shown 90 '^Quorvel$') || fail "no window"
start_junk
measure
window_taken=$taken window_lost=$lost
closed_with "$send_close" "$window" "$app" 0 30 "closing the window"
kill "$junk" 2>/dev/null || true

best=0 best_loop=""
declare -A loop_taken loop_lost
for loop in blocking drain; do
    start_junk
    $wine "$loop_exe" "$loop" $((measured + 3)) >"$work/$loop.log" 2>&1 &
    receiver=$!
    pids+=($receiver)
    sleep 1  # Wine starts the program
    measure
    loop_taken[$loop]=$taken loop_lost[$loop]=$lost
    wait "$receiver" || fail "the $loop loop"
    kill "$junk" 2>/dev/null || true
    if [ "$taken" -gt "$best" ]; then best=$taken best_loop=$loop; fi
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
# The share of what arrived that was taken in rather than lost: it does not
# depend on the sender's pace, which varies between runs.
share() { awk -v taken="$1" -v lost="$2" 'BEGIN { printf "%.4f", (taken + lost > 0 ? taken / (taken + lost) : 0) }'; }
echo "junk (a wrong start mark) at port 7080 from one sender, under Wine, per second over ${measured} s:"
row() {
    printf '  %-34s %8s /s taken in (ratio %s), %8s /s lost at the full socket buffer (%s %% of what arrived taken in)\n' \
        "$1" "$2" "$(ratio "$2" "$best")" "$3" "$(awk -v s="$(share "$2" "$3")" 'BEGIN { printf "%.1f", 100 * s }')"
}
row "quorvel.exe (the window's path)" "$window_taken" "$window_lost"
for loop in blocking drain; do
    row "Winsock loop: $loop" "${loop_taken[$loop]}" "${loop_lost[$loop]}"
done
echo "junk dropped per second, quorvel.exe / the fastest Winsock loop ($best_loop): $(ratio "$window_taken" "$best");" \
    "share of what arrived: $(ratio "$(share "$window_taken" "$window_lost")" \
    "$(share "${loop_taken[$best_loop]}" "${loop_lost[$best_loop]}")") (aim: 1.0)"
