#!/bin/sh
# Installs those of the named Debian packages that are missing; names with an
# :i386 or :arm64 suffix bring in that architecture first.
#   install-deps.sh [--optional NOTE] PACKAGE...
# With --optional the packages are wanted but not needed: when apt cannot install
# them, its reason goes into the file NOTE and the step still succeeds (the tests
# that need them skip, saying why); on a kernel that runs no 32-bit code, i386
# packages are not even tried. NOTE is removed once they are installed.
set -eu
note=""
if [ "${1:-}" = --optional ]; then
    note=$2
    shift 2
fi
# A name without a suffix means this machine's architecture (or none): with a second
# architecture added, dpkg also lists the other one's package of the same name.
native=$(dpkg --print-architecture)
missing=""
for package in "$@"; do
    case "$package" in
        *:*) wanted="installed ${package#*:}" ;;
        *) wanted="installed ($native|all)" ;;
    esac
    dpkg-query -W -f='${db:Status-Status} ${Architecture}\n' "$package" 2>/dev/null | grep -Eqx "$wanted" ||
        missing="$missing $package"
done
if [ -z "$missing" ]; then
    [ -z "$note" ] || [ $# = 0 ] || rm -f "$note"
    exit 0
fi
case "$missing" in
    *:i386*) [ -z "$note" ] || "$(dirname "$0")/runs-32bit-code.sh" || exit 0 ;;
esac

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
for arch in i386 arm64; do
    case "$missing" in
        *:$arch*) dpkg --print-foreign-architectures | grep -qx $arch || $sudo dpkg --add-architecture $arch ;;
    esac
done
echo "installing:$missing"
# A mirror in the middle of a sync fails one index or another for a while; the lists
# that did come are still good to install from.
for try in 1 2 3; do
    $sudo apt-get update -qq && break
    [ $try = 3 ] || { sleep 20; continue; }
    echo "apt-get update failed three times; installing from the package lists there are" >&2
done
if [ -z "$note" ]; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
    exit 0
fi
mkdir -p "$(dirname "$note")"
if DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing 2>"$note.log"; then
    rm -f "$note" "$note.log"
else
    cat "$note.log" >&2
    # apt's first error line, without its "E: ".
    sed -n 's/^E: //p' "$note.log" | head -1 >"$note"
    [ -s "$note" ] || echo "apt-get install failed" >"$note"
    rm -f "$note.log"
    echo "not installed:$missing ($(cat "$note"))" >&2
fi
