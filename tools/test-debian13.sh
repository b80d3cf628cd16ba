#!/bin/bash
# Runs make targets (default: test) on a fresh Debian 13, as on a new machine: a
# minimal trixie root made once with debootstrap (build-debian13/pristine), copied
# anew for every run, this checkout's committed HEAD cloned into it and make run there
# as root, so that the project's install script puts in everything it needs. The
# host's system is only read: its apt sources, resolver and extra certificate authorities.
#
#   tools/test-debian13.sh [TARGET...]
#
# DEBIAN13_DIR names another folder for the roots, DEBIAN13_MIRROR another archive.
# The last run's root stays in build-debian13/root to look into; the packages it
# downloaded are kept in build-debian13/debs for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
src=$PWD
dir=${DEBIAN13_DIR:-$src/build-debian13}
pristine=$dir/pristine
root=$dir/root
debs=$dir/debs
[ $# -gt 0 ] || set -- test

say() { printf '== debian13: %s\n' "$*"; }
since() { local s=$(($(date +%s) - $1)); printf '%dm%02ds' $((s / 60)) $((s % 60)); }

# Mount points under the root, deepest last, so that they come off in reverse.
mounted=()
mounted_under() { awk -v r="$1/" 'index($5, r) == 1 { print $5 }' /proc/self/mountinfo; }
cleanup() {
    local status=$? pid i
    # What the run left behind in the root (an X server, a browser) would keep its
    # mounts busy: end those processes, the ones whose root is this one.
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -KILL "$pid" 2>/dev/null
    done
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" ||
            echo "debian13: could not unmount ${mounted[i]}" >&2
    done
    # The packages this run installed, for the next one: only those, so the cache
    # holds the current versions alone.
    if [ -d "$root/var/cache/apt/archives" ]; then
        rm -rf "$debs.new" && mkdir -p "$debs.new"
        find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec ln -f -t "$debs.new" {} + &&
            rm -rf "$debs" && mv "$debs.new" "$debs"
    fi
    exit $status
}
tools/install-deps.sh debootstrap
mkdir -p "$dir"
# One run at a time in a folder: another would remove this one's root under it
# (and this one's cleanup end that one's processes).
exec 9>"$dir/lock"
flock -n 9 || { echo "debian13: another run is using $dir" >&2; exit 1; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
mnt() {  # TARGET MOUNT-ARGUMENTS...: a mount in the root, kept from spreading to the host's
    mount "${@:2}" "$1"
    mounted+=("$1")
    mount --make-private "$1"
}

start=$(date +%s)
if [ ! -f "$pristine/etc/debian_version" ]; then
    # The Debian archive this machine installs from: the first source whose path ends in /debian.
    archive=${DEBIAN13_MIRROR:-$(apt-get indextargets --format '$(REPO_URI)' | grep -E '^https?://.*/debian/?$' |
        head -1)}
    [ -n "$archive" ] || { echo "debian13: no Debian archive in /etc/apt/sources*; set DEBIAN13_MIRROR" >&2; exit 1; }
    say "debootstrap trixie from $archive"
    t=$(date +%s)
    [ -z "$(mounted_under "$pristine.new")" ] || { echo "debian13: $pristine.new has mounts" >&2; exit 1; }
    rm -rf --one-file-system "$pristine.new"
    debootstrap --variant=minbase --include=git,make,sudo,ca-certificates trixie "$pristine.new" "$archive"
    rm -f "$pristine.new"/var/cache/apt/archives/*.deb  # what it installed, not needed again
    mv "$pristine.new" "$pristine"
    say "debootstrap took $(since "$t")"
fi

# A fresh copy of the pristine root; never one with anything still mounted in it.
[ -z "$(mounted_under "$root")" ] || { echo "debian13: $root still has mounts: $(mounted_under "$root")" >&2; exit 1; }
rm -rf --one-file-system "$root"
cp -a "$pristine" "$root"
[ ! -d "$debs" ] || find "$debs" -maxdepth 1 -name '*.deb' -exec ln -f -t "$root/var/cache/apt/archives" {} +
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
[ -s "$root/etc/hosts" ] || printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"

for point in proc sys dev dev/pts; do
    mnt "$root/$point" --bind "/$point"
done
mnt "$root/dev/shm" -t tmpfs -o mode=1777,nosuid,nodev tmpfs
# The capture tests make device nodes in a temporary folder.
mnt "$root/tmp" -t tmpfs -o mode=1777,nosuid tmpfs

# A proxy with its own certificate authority: the root trusts it as the host does.
shopt -s nullglob
cas=(/usr/local/share/ca-certificates/*.crt)
if [ ${#cas[@]} -gt 0 ]; then
    cp "${cas[@]}" "$root/usr/local/share/ca-certificates/"
    chroot "$root" update-ca-certificates >/dev/null
fi

# The project as a clone of this checkout's HEAD; what is not committed is not in it.
[ -z "$(git status --porcelain --untracked-files=no)" ] || say "uncommitted changes are not tested"
git init -q "$root/root/vorlix"
git -C "$root/root/vorlix" fetch -q --no-tags "$src" HEAD
git -C "$root/root/vorlix" checkout -q --detach FETCH_HEAD
say "$(git -C "$root/root/vorlix" log -1 --format='%h %s') on Debian $(cat "$root/etc/debian_version"), ready after $(since "$start")"

t=$(date +%s)
say "make $*"
status=0
chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    sh -c 'cd /root/vorlix && exec make "$@"' make "$@" || status=$?
say "make $* ended with status $status after $(since "$t"); $(since "$start") in all"
exit $status
