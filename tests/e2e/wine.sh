# Sourced by the tests that run Windows programs. `use_wine EXE` readies Wine for EXE
# (its prefix, WINEPREFIX, is the caller's): wine_loader is the loader of EXE's width (64-bit Wine
# for an x86-64 program, 32-bit Wine for an i386 one), called directly, since
# Debian's wine script takes the 32-bit loader whenever it is installed. When this
# machine cannot run EXE it says why in one line and exits with 77, the skip.
wine_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)
use_wine() {
    local exe=$1
    case "$(file -b "$exe")" in
        PE32+*x86-64*) wine_loader=/usr/lib/wine/wine64 ;;
        PE32\ *80386*)
            wine_loader=/usr/lib/wine/wine
            if ! "$wine_tools/runs-32bit-code.sh"; then
                echo "skipped: this kernel runs no 32-bit x86 code"; exit 77
            fi
            if [ ! -x $wine_loader ]; then
                # The reason apt gave when `make windows` tried to install it.
                echo "skipped: wine32 could not be installed: $(cat "${WINE32_NOTE:-}" 2>/dev/null || echo "it is not installed")"
                exit 77
            fi ;;
        *) echo "FAIL: $exe is no Windows program for x86: $(file -b "$exe")" >&2; exit 1 ;;
    esac
    export WINELOADER=$wine_loader WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}
# Makes the prefix WINEPREFIX before any program runs in it, not around the first
# one: on a loaded machine a run crashed (status 139), and another lost its Wine
# server mid-frame, with nothing said but the prefix's creation.
make_prefix() { timeout 120 "$wine_loader" wineboot -i >/dev/null 2>&1 && timeout 60 wineserver -w; }
# Ends the prefix's Wine server, with whatever it still runs.
end_wine() { [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null; }
