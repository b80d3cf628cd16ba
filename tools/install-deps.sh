#!/bin/sh
# Installs those of the named Debian packages that are missing; names with an
# :i386 suffix bring in the i386 architecture first.
set -eu
missing=""
# A name without a suffix means the machine's own architecture (or none): with other
# architectures enabled, dpkg-query lists one line for each that has the package.
native=$(dpkg --print-architecture)
for package in "$@"; do
    case "$package" in
        *:*) wanted=${package#*:} ;;
        *) wanted="$native|all" ;;
    esac
    dpkg-query -W -f='${db:Status-Status} ${Architecture}\n' "$package" 2>/dev/null |
        grep -Eqx "installed ($wanted)" || missing="$missing $package"
done
[ -n "$missing" ] || exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
case "$missing" in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
esac
echo "installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
