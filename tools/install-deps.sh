#!/bin/sh
# Installs those of the named Debian packages that are missing; names with an
# :i386 or :arm64 suffix bring in that architecture first.
set -eu
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
[ -n "$missing" ] || exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
for arch in i386 arm64; do
    case "$missing" in
        *:$arch*) dpkg --print-foreign-architectures | grep -qx $arch || $sudo dpkg --add-architecture $arch ;;
    esac
done
echo "installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
