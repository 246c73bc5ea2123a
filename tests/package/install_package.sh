#!/usr/bin/env bash
# Installs the Debian package the way a user does, runs the installed program
# and purges the package again, all inside a throwaway root: an overlay over
# this machine's / in a mount namespace of this script's own. Everything the
# package manager writes lands in a tmpfs that vanishes with the namespace,
# so the machine is left as it was, also when a step fails.
# The steps themselves are in_throwaway_root.sh.
# Usage: install_package.sh PACKAGE.deb SEND-CLOSE-REQUEST
set -euo pipefail
deb=$(realpath "$1") closer=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)

. "$here/../support/not_run.sh"

if [ "${QUORVEL_ISOLATED:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || unavailable "installing a package into a throwaway root needs root"
    for tool in unshare chroot apt-get Xvfb xdotool ip; do
        command -v "$tool" >/dev/null || unavailable "$tool is not installed"
    done
    unshare --mount --propagation private true 2>/dev/null || unavailable "cannot make mount namespaces"
    mountpoint=$(mktemp -d)
    trap 'rmdir "$mountpoint"' EXIT
    # The overlay shows this machine's files as they change: hold the package
    # manager's locks, as apt does, so that no package run on the machine
    # changes them under the test (it waits for one that is running).
    status=0
    perl -MFile::FcntlLock -e '
        for my $name ("/var/lib/dpkg/lock-frontend", "/var/lib/dpkg/lock") {
            open(my $file, ">>", $name) or die "$name: $!\n";
            my $lock = File::FcntlLock->new(l_type => F_WRLCK);
            $lock->lock($file, F_SETLKW) or die "$name: " . $lock->error . "\n";
            push @held, $file;
        }
        exit(system(@ARGV) >> 8);' -- \
        unshare --mount --propagation private env QUORVEL_ISOLATED=1 QUORVEL_ROOT="$mountpoint" \
        bash "$0" "$deb" "$closer" || status=$?
    exit $status
fi

# Private to this mount namespace: a tmpfs for the overlay's changes, and the
# overlay itself with the kernel's file systems mounted into it.
work=$QUORVEL_ROOT
mount -t tmpfs quorvel-throwaway "$work"
mkdir "$work/changes" "$work/scratch" "$work/root"
mount -t overlay quorvel-throwaway -o "lowerdir=/,upperdir=$work/changes,workdir=$work/scratch" "$work/root" \
    || unavailable "cannot mount an overlay over /"
root=$work/root
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmp "$root/tmp"
mount -t tmpfs run "$root/run"
# Services of packages installed here must not start on the machine.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

cp "$deb" "$closer" "$here/in_throwaway_root.sh" "$root/tmp/"
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    bash /tmp/in_throwaway_root.sh "/tmp/$(basename "$deb")" "/tmp/$(basename "$closer")"
