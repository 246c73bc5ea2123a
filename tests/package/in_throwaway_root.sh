#!/usr/bin/env bash
# The package's life as a user meets it, run by install_package.sh inside a
# throwaway root (never on the machine itself):
#   1. With Qt's libraries, the entries' font and both firewalls removed
#      first, `apt-get install ./quorvel_*.deb` brings back what the program
#      needs: its Depends line is complete, and the Wayland platform plugin
#      comes with it as apt installs it by default (recommended).
#   2. In a network namespace of its own, the installed /usr/bin/quorvel
#      starts with the offscreen platform and holds UDP port 7080 (nothing can
#      ask an offscreen window to close, so SIGTERM ends it); under Xvfb, the
#      close request a window manager's close button sends ends it with exit
#      status 0.
#   3. `apt-get purge` removes every file and folder the package brought, also
#      with neither firewall installed.
#   4. With firewalld and ufw installed, both read the package's definitions
#      (UDP 7080), and neither is enabled by installing the package. Allowed
#      by the user (the service in a zone, in a rich rule and in a policy; the
#      profile in ufw rules), then `apt-get remove`: firewalld's configuration
#      checks clean and names the service nowhere; `apt-get purge`: it still
#      does, no ufw rule for the profile is left, and the user's other rule
#      stays. An upgrade (the package installed over itself) changes none of
#      it. firewalld is not running here: its offline tool does the work.
#   5. The same with firewalld running (with a system bus, in network and
#      process namespaces of their own): the README's command and a rule made
#      for the running firewall only are gone from both after `apt-get
#      remove`, and firewalld reloads.
set -euo pipefail
deb=$1 closer=$2
export DEBIAN_FRONTEND=noninteractive
fail() { echo "FAIL: $1"; exit 1; }
step() { echo "-- ($SECONDS s) $1"; }

# This root is thrown away: no manual page index, no syncing to disk.
echo 'man-db man-db/auto-update boolean false' | debconf-set-selections
echo force-unsafe-io >/etc/dpkg/dpkg.cfg.d/quorvel-throwaway

# install_quorvel WHAT: apt-get install ./quorvel_*.deb; sets new_paths, the
# paths it brings that were not there yet, which purging must remove again.
install_quorvel() {
    step "apt-get install ./$(basename "$deb") $1"
    local path paths
    paths=$(dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | sed 's|/$||' | grep .)
    new_paths=()
    for path in $paths; do
        [ -e "$path" ] || new_paths+=("$path")
    done
    apt-get install -y -qq "$deb" >/tmp/install.log 2>&1 || { cat /tmp/install.log; fail "apt-get install"; }
}
# purge_quorvel WHAT: apt-get purge quorvel, which must leave none of new_paths.
purge_quorvel() {
    step "apt-get purge quorvel $1"
    apt-get purge -y -qq quorvel >/tmp/purge.log 2>&1 || { cat /tmp/purge.log; fail "apt-get purge"; }
    local path left=()
    for path in "${new_paths[@]}"; do
        [ -e "$path" ] && left+=("$path")
    done
    [ ${#left[@]} -eq 0 ] || fail "left after purge: ${left[*]}"
    echo "purged: none of the ${#new_paths[@]} new paths is left"
}

step "remove Qt's libraries, the font and the firewalls"
apt-get purge -y -qq libqt6core6 fonts-crosextra-carlito firewalld ufw >/dev/null 2>&1
for package in libqt6widgets6 qt6-wayland fonts-crosextra-carlito firewalld ufw; do
    ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || fail "could not remove $package"
done

install_quorvel "(no firewall installed)"
for needed in libqt6core6 libqt6gui6 libqt6widgets6 fonts-crosextra-carlito qt6-wayland; do
    dpkg-query -W -f='${Status}' "$needed" | grep -q 'ok installed' || fail "$needed was not installed with the package"
done
echo "installed with $(grep -c '^Unpacking' /tmp/install.log) packages unpacked, ${#new_paths[@]} new paths"

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

purge_quorvel "(no firewall installed)"

step "apt-get install firewalld ufw"
apt-get install -y -qq --no-install-recommends firewalld ufw >/tmp/firewalls.log 2>&1 \
    || { cat /tmp/firewalls.log; fail "could not install firewalld and ufw"; }

install_quorvel "(firewalld and ufw installed)"
step "the firewall definitions"
firewall-offline-cmd --info-service=quorvel >/tmp/firewalld.txt || fail "firewalld does not know the service quorvel"
grep -qx '  ports: 7080/udp' /tmp/firewalld.txt || { cat /tmp/firewalld.txt; fail "firewalld: not UDP port 7080"; }
! firewall-offline-cmd --list-services | grep -qw quorvel || fail "firewalld: the service is enabled by installing"
ufw app info quorvel >/tmp/ufw.txt || fail "ufw does not know the profile quorvel"
grep -qx '  7080/udp' /tmp/ufw.txt || { cat /tmp/ufw.txt; fail "ufw: not UDP port 7080"; }
! grep -rqs quorvel /etc/ufw/user.rules /etc/ufw/user6.rules || fail "ufw: a rule is added by installing"
echo "firewalld service and ufw profile: UDP 7080, not enabled"

# What a zone or policy of firewalld's configuration says about the service
# (--permanent, or the offline tool: the permanent configuration).
naming_quorvel() {
    { "$@" --list-all-zones; "$@" --list-all-policies; } | grep -w quorvel || true
}
# ufw's rules for the profile, or for its port, in both address families.
ufw_rules() { grep -E 'quorvel|7080' /etc/ufw/user.rules /etc/ufw/user6.rules || true; }
firewalld_clean() {   # $1: after what
    firewall-offline-cmd --check-config >/tmp/check.txt 2>&1 \
        || { cat /tmp/check.txt; fail "firewalld's configuration is broken after $1"; }
    local left
    left=$(naming_quorvel firewall-offline-cmd)
    [ -z "$left" ] || { echo "$left"; fail "firewalld still names the service after $1"; }
}

step "allowed by the user: firewalld (not running) and ufw"
firewall-offline-cmd --zone=public --add-service=quorvel >/dev/null
firewall-offline-cmd --zone=home \
    --add-rich-rule='rule family=ipv4 source address=192.168.1.0/24 service name=quorvel accept' >/dev/null
firewall-offline-cmd --new-policy=lan-to-host >/dev/null
firewall-offline-cmd --policy=lan-to-host --add-ingress-zone=internal >/dev/null
firewall-offline-cmd --policy=lan-to-host --add-egress-zone=HOST >/dev/null
firewall-offline-cmd --policy=lan-to-host --add-service=quorvel >/dev/null
[ "$(naming_quorvel firewall-offline-cmd | wc -l)" = 3 ] || fail "firewalld: the service is not allowed three times"
ufw allow quorvel >/dev/null
ufw allow from 192.168.1.0/24 to any app quorvel >/dev/null
ufw allow 22/tcp >/dev/null
for rules in user.rules user6.rules; do
    grep -q dapp_quorvel /etc/ufw/$rules || fail "ufw: the profile's rules are not in $rules"
done
allowed="$(naming_quorvel firewall-offline-cmd)
$(ufw_rules)"
echo "firewalld: a zone, a zone's rich rule and a policy; ufw: $(ufw_rules | wc -l) lines for the profile"

step "installed over itself, as an upgrade is"
dpkg -i "$deb" >/tmp/upgrade.log 2>&1 || { cat /tmp/upgrade.log; fail "dpkg -i over the installed package"; }
[ "$(naming_quorvel firewall-offline-cmd)
$(ufw_rules)" = "$allowed" ] || fail "an upgrade changed the user's firewall settings"
echo "the firewall settings stay"

step "apt-get remove quorvel"
apt-get remove -y -qq quorvel >/tmp/remove.log 2>&1 || { cat /tmp/remove.log; fail "apt-get remove"; }
firewalld_clean "apt-get remove"
[ -n "$(ufw_rules)" ] || fail "ufw: the rules went on remove, while the profile stays"
echo "firewalld: configuration valid, the service named nowhere; ufw: the rules stay with the profile"

purge_quorvel "(firewalld and ufw installed)"
firewalld_clean "apt-get purge"
left=$(ufw_rules)
[ -z "$left" ] || { echo "$left"; fail "ufw: rules for the profile are left after purge"; }
ufw show added | grep -qx 'ufw allow 22/tcp' || fail "ufw: the user's other rule went too"
echo "firewalld: still valid; ufw: no rule for the profile left, the other rule kept"

step "firewalld running: allowed, then apt-get remove"
install_quorvel "(firewalld and ufw installed)" >/dev/null
# firewalld changes the network's filter: its own network namespace, a
# system bus of its own under this root's /run, and a process namespace that
# ends the daemons with the shell.
unshare --net --pid --fork bash -s <<'RUNNING'
set -euo pipefail
fail() { echo "FAIL: $1"; cat /tmp/firewalld.log; exit 1; }
naming_quorvel() {
    { "$@" --list-all-zones; "$@" --list-all-policies; } | grep -w quorvel || true
}
ip link set lo up
mkdir -p /run/dbus
dbus-daemon --system --nofork >/tmp/dbus.log 2>&1 &
for _ in $(seq 100); do [ -S /run/dbus/system_bus_socket ] && break; sleep 0.1; done
firewalld --nofork --nopid >/tmp/firewalld.log 2>&1 &
for _ in $(seq 100); do firewall-cmd --state >/dev/null 2>&1 && break; sleep 0.2; done
firewall-cmd --state >/dev/null 2>&1 || fail "firewalld did not start"
# The README's command, and a rule for the running firewall only.
{ firewall-cmd --reload && firewall-cmd --permanent --add-service=quorvel && firewall-cmd --reload; } >/dev/null
firewall-cmd --zone=home \
    --add-rich-rule='rule family=ipv4 source address=192.168.1.0/24 service name=quorvel accept' >/dev/null
[ "$(naming_quorvel firewall-cmd | wc -l)" = 2 ] || fail "firewalld: the service is not allowed twice while running"
apt-get remove -y -qq quorvel >/tmp/remove.log 2>&1 || { cat /tmp/remove.log; fail "apt-get remove"; }
named_nowhere() {   # CONFIGURATION, firewall-cmd's options for it
    local left
    left=$(naming_quorvel firewall-cmd "${@:2}")
    [ -z "$left" ] || { echo "$left"; fail "firewalld's $1 configuration still names the service"; }
}
named_nowhere running
named_nowhere permanent --permanent
firewall-cmd --check-config >/dev/null || fail "firewalld's configuration is broken after apt-get remove"
firewall-cmd --reload >/dev/null || fail "firewalld does not reload after apt-get remove"
echo "firewalld: the service named nowhere, running or permanent; it reloads"
RUNNING
purge_quorvel "(after firewalld ran)"
firewalld_clean "apt-get purge"
step "done"
