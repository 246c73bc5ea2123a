# Sourced by the scripts that install packages or fetch sources.
# apt_get ARGUMENT...: apt-get as root (through sudo when not root), without
# questions. Another package manager (an unattended upgrade, the test
# command's background install) may hold the lock for a while: apt waits up
# to ten minutes for it. An install that was interrupted (the test command
# stopped mid-way) is completed first.
apt_get() {
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    if [ "$1" = install ] && [ -n "$(dpkg --audit 2>/dev/null)" ]; then
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" dpkg --configure -a
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 "$@"
}
