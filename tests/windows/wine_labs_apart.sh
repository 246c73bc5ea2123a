#!/usr/bin/env bash
# wine_labs_apart.sh RECEIVE-LOOP LAB...
# Wine labs (LAB: wine_lab.sh and its options, as ctest runs it) keep to
# themselves. Two at once, then one after them, each run a Windows program
# that binds UDP port 7080 (RECEIVE-LOOP, winsock_receive_loop.exe): in
# each, the program's socket is bound in the lab's own network namespace,
# its Wine server runs there too, and the server's folder is the lab's
# alone. Once a lab has ended, nothing of it is left: no program or server
# of its prefix, no server folder.
set -euo pipefail
receive_loop=$1
shift
lab_command=("$@")
. "$(dirname "$0")/../support/x_lab.sh"
[ "$(id -u)" -eq 0 ] || unavailable "the Wine lab needs root for its network namespaces"
start_work  # each lab's report is a log there, which fail prints

# What a lab's probe reports, one line each: its prefix, its server folder,
# the sockets bound at port 7080 in its namespace while its program ran,
# and whether its Wine server runs in that namespace.
probe='
    /usr/lib/wine/wine64 "$0" blocking 4 >/dev/null 2>&1 &
    program=$!
    for _ in $(seq 300); do [ -n "$(ss -H -uln "sport = :7080")" ] && break; sleep 0.1; done
    echo "prefix $WINEPREFIX"
    echo "folder /tmp/$(cat "$WINEPREFIX/wineserver")"
    echo "bound $(ss -H -uln "sport = :7080" | wc -l)"
    own=no
    for pid in $(pgrep -x wineserver64); do
        tr "\0" "\n" 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        [ "$(readlink "/proc/$pid/ns/net")" = "$(readlink /proc/self/ns/net)" ] && own=yes
    done
    echo "server-in-lab $own"
    wait "$program"
'
run_lab() {
    local status=0
    bash "${lab_command[@]}" bash -c "$probe" "$receive_loop" >"$work/$1.log" 2>&1 || status=$?
    [ "$status" -ne 77 ] || { tail -n 1 "$work/$1.log"; exit 77; }
    [ "$status" -eq 0 ] || fail "lab $1 ended with status $status"
}
run_lab first &
first=$!
run_lab second &
second=$!
wait "$first" || exit $?
wait "$second" || exit $?
run_lab third

reported() { awk -v key="$2" '$1 == key { print $2 }' "$work/$1.log"; }
for lab in first second third; do
    [ "$(reported "$lab" bound)" = 1 ] || fail "lab $lab: its program's socket is not bound in its namespace"
    [ "$(reported "$lab" server-in-lab)" = yes ] || fail "lab $lab: its Wine server runs outside it"
done
folders=$(for lab in first second third; do reported "$lab" folder; done)
[ "$(sort -u <<<"$folders" | wc -l)" = 3 ] || fail "labs share a Wine server folder: $(paste -sd' ' <<<"$folders")"
for lab in first second third; do
    folder=$(reported "$lab" folder) prefix=$(reported "$lab" prefix)
    [ ! -e "$folder" ] || fail "lab $lab left its Wine server folder $folder"
    for pid in $(pgrep -f 'wineserver|^[A-Za-z]:\\' || true); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$prefix" &&
            fail "lab $lab left a Wine process: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
    done
done
echo "three labs, each with its own Wine server and folder, none left behind"
