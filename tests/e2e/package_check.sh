#!/bin/bash
# The release as its users get it: the install tree, the display library's CMake
# package and pkg-config files with the example built against each, the two .debs
# (read and checked by lintian, never installed, the programs hardened), and the
# Windows zips' demos under Wine when Windows trees are given.
#   package_check.sh SOURCE_DIR BUILD_DIR [WINDOWS_BUILD_DIR]...
set -u
source_dir=$1 build=$2
windows_trees=("${@:3}")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
run() {  # runs a command quietly; on failure shows the end of its output
    "$@" >"$work/log" 2>&1 || fail "$* failed: $(tail -5 "$work/log")"
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build"
# Debian's libraries, and so the CMake package, go in the multiarch directory.
libdir=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
doc=share/doc/vorlix-rings dev_doc=share/doc/vorlix-rings-dev

# The install tree.
prefix=$work/prefix
run cmake --install "$build" --prefix "$prefix"
for file in bin/rings_window bin/rings_fullscreen bin/rings_capture \
            $doc/README.md $doc/LICENSE $doc/copyright $doc/changelog.gz $doc/docs/exactness.md \
            $dev_doc/copyright $dev_doc/changelog.gz $dev_doc/examples/CMakeLists.txt $dev_doc/examples/bounce.cpp \
            $dev_doc/examples/Makefile include/vorlix_display/display.h include/vorlix_display/crt.h \
            $libdir/cmake/VorlixDisplay/VorlixDisplayConfig.cmake \
            $libdir/cmake/VorlixDisplay/VorlixDisplayConfigVersion.cmake \
            $libdir/pkgconfig/vorlix-display-windowed.pc $libdir/pkgconfig/vorlix-display-fullscreen.pc; do
    [ -f "$prefix/$file" ] || fail "no $file in the install tree"
done
for size in 16 24 32 48 64 128; do
    icon=share/icons/hicolor/${size}x${size}/apps/vorlix-rings.png
    got=$(identify -format '%m %wx%h' "$prefix/$icon" 2>/dev/null)
    [ "$got" = "PNG ${size}x${size}" ] || fail "$icon is '$got', not a ${size} x ${size} PNG"
done
got=$("$prefix/bin/rings_capture" --version)
[ "$got" = "rings_capture $version" ] || fail "rings_capture --version printed '$got'"
# A manual page for each program that says how it ends and shows it at work.
for program in rings_window rings_fullscreen rings_capture; do
    page=$prefix/share/man/man1/$program.1.gz
    [ -f "$page" ] || fail "no manual page for $program"
    text=$(cd "$prefix/share/man" && MANWIDTH=80 man --warnings -l "$page" 2>"$work/log") ||
        fail "man cannot show $program.1"
    [ ! -s "$work/log" ] || fail "$program.1: $(cat "$work/log")"
    for section in NAME SYNOPSIS "EXIT STATUS" EXAMPLES; do
        grep -qx "$section" <<<"$text" || fail "$program.1 has no $section"
    done
done
echo "install tree: programs, manual pages, documents, icons, library package in $libdir; $got"

entries=("$prefix"/share/applications/vorlix-rings-{window,fullscreen}.desktop)
run desktop-file-validate "${entries[@]}"
for entry in "${entries[@]}"; do
    program=$(sed -n 's/^Exec=//p' "$entry") icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -x "$prefix/bin/$program" ] || fail "$(basename "$entry") starts '$program', which is not installed"
    [ -f "$prefix/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "$(basename "$entry") shows icon '$icon', not installed"
done
echo "desktop entries valid, their programs and icon installed"

# The example, against the installed package alone, under the dummy video driver:
# no key ever comes there, so it must still be running when it is stopped.
run cmake -S "$source_dir/examples" -B "$work/example" -DCMAKE_PREFIX_PATH="$prefix"
grep -qx "VorlixDisplay_DIR:PATH=$prefix/$libdir/cmake/VorlixDisplay" "$work/example/CMakeCache.txt" ||
    fail "the example did not find the package in the install tree"
run cmake --build "$work/example"
SDL_VIDEODRIVER=dummy timeout 3 "$work/example/bounce" >"$work/log" 2>&1
status=$?
[ $status = 124 ] || fail "the example ended with status $status before it was stopped: $(tail -3 "$work/log")"
echo "example built against the install tree and ran until stopped"

# The example again with pkg-config alone, as its Makefile builds it: no CMake, the
# tree's .pc files found through PKG_CONFIG_PATH. Each presentation's program runs
# on a private X server until a key ends it with status 0.
cp -R "$prefix/$dev_doc/examples" "$work/pkg-config"
for variant in windowed fullscreen; do
    got=$(PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig pkg-config --modversion vorlix-display-$variant 2>&1)
    [ "$got" = "$version" ] || fail "pkg-config finds vorlix-display-$variant of version '$got'"
    rm -f "$work/pkg-config/bounce"
    run env PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" make -C "$work/pkg-config" PRESENTATION=$variant
    "$here/demo_e2e.sh" --program "$work/pkg-config/bounce" --name '^Bounce$' >"$work/log" 2>&1 ||
        fail "the example built with pkg-config ($variant): $(tail -5 "$work/log")"
done
echo "example built with pkg-config alone, windowed and full screen; a key ended each with status 0"

# Two .debs: the library's development files in vorlix-rings-dev, everything else
# in vorlix-rings; together the install tree under /usr. Debian's own checker finds
# no error and no warning in either.
run cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb"
arch=$(dpkg --print-architecture)
programs=$work/deb/vorlix-rings_${version}_$arch.deb dev=$work/deb/vorlix-rings-dev_${version}_$arch.deb
for deb in "$programs" "$dev"; do
    [ -f "$deb" ] || fail "no $(basename "$deb") made"
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$deb.files"
done
(cd "$prefix" && find . -type f | sed 's|^\./|./usr/|' | sort) >"$work/tree"
sort "$programs.files" "$dev.files" | diff "$work/tree" - >"$work/log" ||
    fail "the .debs' files differ from the install tree: $(cat "$work/log")"
dev_files="^\./usr/(include/vorlix_display|$libdir|$dev_doc)/"
misplaced=$(grep -Ev "$dev_files" "$dev.files"; grep -E "$dev_files" "$programs.files")
[ -z "$misplaced" ] || fail "files in the wrong package: $misplaced"
depends_on() {  # DEB PATTERN...: the .deb depends on a package each pattern matches
    local deb=$1 depends
    depends=$(dpkg-deb -f "$deb" Depends)
    shift
    for package; do
        [[ ", $depends," == *", "$package[\ ,]* ]] || fail "$(basename "$deb") does not depend on $package: $depends"
    done
}
# libpng's runtime package took a t64 suffix in Debian 13 (64-bit time_t).
depends_on "$programs" libsdl2-2.0-0 'libpng16-16?(t64)'
depends_on "$dev" libsdl2-dev libx11-dev
lintian --fail-on error,warning --display-info "$programs" "$dev" >"$work/log" 2>&1 ||
    fail "lintian: $(grep -v 'root privileges' "$work/log")"
# Its hardening tags (no immediate binding, no fortified functions) are only
# information to it, which --fail-on does not count; here they fail. It has no tag
# for the stack protector: the programs must call its check.
hardening=$(grep -E '^[A-Z]: [^ ]+: hardening-' "$work/log")
[ -z "$hardening" ] || fail "lintian: the programs are not hardened: $hardening"
for program in rings_window rings_fullscreen rings_capture; do
    nm -D "$prefix/bin/$program" | grep -q ' U __stack_chk_fail@' || fail "$program has no stack protector"
done
echo "debs: vorlix-rings ($(wc -l <"$programs.files") files), vorlix-rings-dev ($(wc -l <"$dev.files") files);" \
     "lintian finds no error, no warning and no hardening tag; the programs have a stack protector"

# The zips, one for each Windows tree given: the three programs and two texts in one
# folder; the window demo runs under the Wine that runs its width, and a key ends
# it with status 0.
for windows in "${windows_trees[@]}"; do
    rm -rf "$work/zip"
    run cpack --config "$windows/CPackConfig.cmake" -B "$work/zip"
    name=$(basename "$work"/zip/vorlix-rings-"$version"-win*.zip .zip)
    bits=${name##*-win}
    [ -f "$work/zip/$name.zip" ] || fail "no zip made of $windows"
    (cd "$work/zip" && cmake -E tar xf "$name.zip") || fail "cannot unpack $name.zip"
    got=$(cd "$work/zip/$name" && find . -type f -printf '%P\n' | sort | tr '\n' ' ')
    [ "$got" = "LICENSE.txt README.txt rings_capture.exe rings_fullscreen.exe rings_window.exe " ] ||
        fail "$name.zip holds: $got"
    grep -q "This one holds the $bits-bit programs" "$work/zip/$name/README.txt" ||
        fail "$name.zip's README.txt does not say it holds the $bits-bit programs"
    case $bits in
        32) pe="PE32 executable (*) Intel 80386" aslr="DYNAMIC_BASE" ;;
        64) pe="PE32+ executable (*) x86-64" aslr="DYNAMIC_BASE HIGH_ENTROPY_VA" ;;
        *) fail "$name.zip is of no known width" ;;
    esac
    for program in rings_window rings_fullscreen rings_capture; do
        exe=$work/zip/$name/$program.exe
        [[ "$(file -b "$exe")" == $pe* ]] || fail "$name.zip's $program.exe is $(file -b "$exe")"
        # The x86_64 binutils read 32-bit programs too.
        x86_64-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null | grep -q "VALUE \"FileVersion\", \"$version\"" ||
            fail "$program.exe carries no version $version"
        # ASLR (with addresses above 4 GiB on 64-bit) and DEP: the PE header's flags.
        flags=$(x86_64-w64-mingw32-objdump -p "$exe" |
            awk '/^DllCharacteristics/ { on = 1; next } on && /^[ \t]/ { print $1; next } { on = 0 }' | tr '\n' ' ')
        for flag in $aslr NX_COMPAT; do
            [[ " $flags" == *" $flag "* ]] || fail "$program.exe has no $flag (DllCharacteristics: $flags)"
        done
    done
    echo "$name.zip: $got, each program $bits-bit, of version $version, with ASLR and DEP"
    "$here/demo_e2e.sh" --program "$work/zip/$name/rings_window.exe" --wine >"$work/log" 2>&1
    case $? in
        0) echo "$name.zip's rings_window.exe ran under Wine; a key ended it with status 0" ;;
        77) echo "$name.zip's rings_window.exe not run under Wine, $(tail -1 "$work/log")" ;;
        *) fail "$name.zip's rings_window.exe under Wine: $(tail -5 "$work/log")" ;;
    esac
done
