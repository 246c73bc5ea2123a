#!/usr/bin/env bash
# The package's life as a user meets it, run by install_package.sh inside a
# throwaway root (never on the machine itself):
#   1. With Qt's libraries and the entries' font removed first,
#      `apt-get install ./quorvel_*.deb` brings back what the program needs:
#      its Depends line is complete, and the Wayland platform plugin comes
#      with it as apt installs it by default (recommended).
#   2. firewalld and ufw read the package's definitions (UDP 7080), and
#      neither is enabled by installing the package.
#   3. In a network namespace of its own, the installed /usr/bin/quorvel
#      starts with the offscreen platform and holds UDP port 7080 (nothing can
#      ask an offscreen window to close, so SIGTERM ends it); under Xvfb, the
#      close request a window manager's close button sends ends it with exit
#      status 0.
#   4. `apt-get purge` removes every file and folder the package brought.
# Usage: in_throwaway_root.sh PACKAGE.deb SEND-CLOSE-REQUEST
set -euo pipefail
deb=$1 closer=$2
export DEBIAN_FRONTEND=noninteractive
fail() { echo "FAIL: $1"; exit 1; }
step() { echo "-- ($SECONDS s) $1"; }

# This root is thrown away: no manual page index, no syncing to disk.
echo 'man-db man-db/auto-update boolean false' | debconf-set-selections
echo force-unsafe-io >/etc/dpkg/dpkg.cfg.d/quorvel-throwaway

step "remove Qt's libraries and the font"
apt-get purge -y -qq libqt6core6 fonts-crosextra-carlito >/dev/null 2>&1
for package in libqt6widgets6 qt6-wayland fonts-crosextra-carlito; do
    ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || fail "could not remove $package"
done

# The firewalls come before the package, so that what they own is not taken
# for the package's below.
step "apt-get install firewalld ufw"
apt-get install -y -qq --no-install-recommends firewalld ufw >/tmp/firewalls.log 2>&1 \
    || { cat /tmp/firewalls.log; fail "could not install firewalld and ufw"; }

step "apt-get install ./$(basename "$deb")"
# The paths the package brings that are not there yet: purging must remove them all again.
paths=$(dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | sed 's|/$||' | grep .)
new_paths=()
for path in $paths; do
    [ -e "$path" ] || new_paths+=("$path")
done
apt-get install -y -qq "$deb" >/tmp/install.log 2>&1 || { cat /tmp/install.log; fail "apt-get install"; }
for needed in libqt6core6 libqt6gui6 libqt6widgets6 fonts-crosextra-carlito qt6-wayland; do
    dpkg-query -W -f='${Status}' "$needed" | grep -q 'ok installed' || fail "$needed was not installed with the package"
done
echo "installed with $(grep -c '^Unpacking' /tmp/install.log) packages unpacked, ${#new_paths[@]} new paths"

step "the firewall definitions"
firewall-offline-cmd --info-service=quorvel >/tmp/firewalld.txt || fail "firewalld does not know the service quorvel"
grep -qx '  ports: 7080/udp' /tmp/firewalld.txt || { cat /tmp/firewalld.txt; fail "firewalld: not UDP port 7080"; }
! firewall-offline-cmd --list-services | grep -qw quorvel || fail "firewalld: the service is enabled by installing"
ufw app info quorvel >/tmp/ufw.txt || fail "ufw does not know the profile quorvel"
grep -qx '  7080/udp' /tmp/ufw.txt || { cat /tmp/ufw.txt; fail "ufw: not UDP port 7080"; }
! grep -rqs quorvel /etc/ufw/user.rules /etc/ufw/user6.rules || fail "ufw: a rule is added by installing"
echo "firewalld service and ufw profile: UDP 7080, not enabled"

step "the installed program, in a network namespace of its own"
unshare --net bash -s "$closer" <<'RUN'
set -euo pipefail
closer=$1
fail() { echo "FAIL: $1"; for log in /tmp/*.log; do echo "--- $log"; cat "$log"; done; exit 1; }
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true' EXIT
ip link set lo up
wait_for_exit() {   # $1 pid, $2 seconds; sets status
    for _ in $(seq $(($2 * 10))); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    status="still running"
    kill -0 "$1" 2>/dev/null && return
    status=0
    wait "$1" || status=$?
}
holds_port_7080() { awk 'NR > 1 && $2 ~ /:1BA8$/ { found = 1 } END { exit !found }' /proc/net/udp /proc/net/udp6; }

QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp /usr/bin/quorvel >/tmp/offscreen.log 2>&1 &
app=$!
pids+=("$app")
for _ in $(seq 100); do holds_port_7080 && break; kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
holds_port_7080 || fail "offscreen: the program did not start listening on UDP port 7080"
kill -TERM "$app"
wait_for_exit "$app" 10
# 143: ended by the signal, not by a crash before it.
[ "$status" = 143 ] || [ "$status" = 0 ] || fail "offscreen: status $status after SIGTERM, expected 143 or 0"
echo "offscreen: started and held UDP port 7080"

Xvfb -displayfd 3 -screen 0 640x800x24 -nolisten tcp 3>/tmp/display >/tmp/xvfb.log 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s /tmp/display ] && break; sleep 0.1; done
[ -s /tmp/display ] || fail "Xvfb did not start"
DISPLAY=":$(cat /tmp/display)" XDG_RUNTIME_DIR=/tmp /usr/bin/quorvel >/tmp/app.log 2>&1 &
app=$!
pids+=("$app")
export DISPLAY=":$(cat /tmp/display)"
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quorvel$' | head -1) || fail "X11: no window"
"$closer" "$window"
wait_for_exit "$app" 10
[ "$status" = 0 ] || fail "X11: exit status $status after the close request, expected 0"
echo "X11: window shown, closed with exit status 0"
RUN

step "apt-get purge quorvel"
apt-get purge -y -qq quorvel >/tmp/purge.log 2>&1 || { cat /tmp/purge.log; fail "apt-get purge"; }
left=()
for path in "${new_paths[@]}"; do
    [ -e "$path" ] && left+=("$path")
done
[ ${#left[@]} -eq 0 ] || fail "left after purge: ${left[*]}"
echo "purged: none of the ${#new_paths[@]} new paths is left"
step "done"
