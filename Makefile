# Thin wrapper over CMake: every target installs what is missing first.
BUILD := build
ASAN_BUILD := build-asan
WIN_BUILD := build-win
WIN64_BUILD := build-win64
FUZZ_BUILD := build-fuzz
DIST_BUILD := build-dist
DIST := dist
ARM64_BUILD := build-arm64
WEB_BUILD := build-web
FUZZ_SECONDS := 60
JOBS := $(shell nproc)
# The sanitizer tree's tests keep frames on AddressSanitizer's fake stack, as GCC 14's
# runtime does by default, so that Debian 12 catches what that layout breaks too
# (tests that set ASAN_OPTIONS themselves replace this).
SANITIZER_TEST_OPTIONS := detect_stack_use_after_return=1

BUILD_PACKAGES := cmake make g++ pkg-config libpng-dev libsdl2-dev libx11-dev
# CPack's .deb: dpkg-shlibdeps finds the run-time dependencies, file picks the binaries.
PACKAGE_PACKAGES := dpkg-dev file
# The end-to-end runs: a private X server, a window manager on it, and tools that act
# on windows as a person would (xmessage is the other program that takes the focus);
# the package check: Debian's checkers of desktop entries, packages and manual pages;
# a Wayland compositor nested in the X server, the decorations SDL draws there and the
# Mesa drivers that its renderer draws with.
TEST_PACKAGES := $(BUILD_PACKAGES) libgtest-dev libbenchmark-dev libmpfr-dev \
	xvfb xauth xdotool imagemagick openbox wmctrl x11-utils $(PACKAGE_PACKAGES) \
	desktop-file-utils lintian man-db weston libdecor-0-plugin-1-cairo libgl1-mesa-dri
# The Windows executables: the cross compilers, and Wine with the Mesa GL drivers that
# its DirectDraw needs even on Xvfb. The 32-bit programs' Wine is wanted, not needed:
# a kernel without 32-bit code cannot run it, and a mirror in mid-sync can hold its
# i386 packages back; their tests then skip, with the reason from WINE32_NOTE.
WIN_PACKAGES := g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 libgl1-mesa-dri
WINE32_PACKAGES := wine32:i386 libgl1-mesa-dri:i386
WINE32_NOTE := $(CURDIR)/$(WIN_BUILD)/wine32-not-installed
# The converters' fuzz target: clang and its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES := cmake make clang libclang-rt-dev
# The aarch64 build: Debian's cross compiler, the arm64 libraries from multiarch, and
# qemu-user to run its tests here.
ARM64_PACKAGES := cmake make pkg-config g++-aarch64-linux-gnu qemu-user xvfb xauth \
	libpng-dev:arm64 libsdl2-dev:arm64 libgtest-dev:arm64 libbenchmark-dev:arm64 libmpfr-dev:arm64 \
	libx11-dev:arm64
# The browser build: Debian's Emscripten (binaryen optimises its output and reads it
# back for the build's check), no downloads; GoogleTest's sources for the lane tests.
WEB_PACKAGES := cmake make emscripten binaryen googletest
# Its pages' tests drive Debian's three browser engines: Chromium and Firefox headless,
# WebKitGTK through its WebDriver on Xvfb; their drivers come from npm.
WEB_TEST_PACKAGES := chromium firefox-esr webkit2gtk-driver xvfb

# CMake reads a toolchain file only when it first configures a tree, and warns that
# it went unused when it is named again: name it for a new tree alone.
toolchain = $(if $(wildcard $(1)/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=$(2))

# ctest lists the tests it skipped but not why; each of ours says why in a line of its
# own, shown after the run.
skip_reasons = @awk '/^[0-9]+\/[0-9]+ Test: / { test = $$3 } sub(/^skipped: /, "") { print "skipped " test ": " $$0 }' \
	$(1)/Testing/Temporary/LastTest.log

.PHONY: run programs check test test-linux sanitize test-debian13 build windows web arm64 fuzz bench dist docs clean

run: programs
	@$(BUILD)/rings_window; status=$$?; \
	if [ $$status = 255 ]; then echo "rings_window: no display could be opened; is DISPLAY or WAYLAND_DISPLAY set?" >&2; fi; \
	exit $$status

# The three programs; a tree that `make check` or `make test` has not configured yet
# is configured for them alone.
programs:
	@tools/install-deps.sh $(BUILD_PACKAGES)
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DBUILD_TESTING=OFF -DVORLIX_BENCHMARKS=OFF
	cmake --build $(BUILD) -j$(JOBS) --target rings_window rings_fullscreen rings_capture

# The quick loop while changing the code: the native build and its tests, the runs
# on Xvfb among them; no Wine, sanitizers, fuzzing, qemu or browser.
check:
	$(MAKE) build WINDOWS_TESTS= WEB_TESTS=
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# The native tree with tests and benchmarks. WINDOWS_TESTS and WEB_TESTS name the
# Windows and browser trees whose programs its tests run under Wine, node and
# Chromium (none when empty): WINDOWS_TESTS the 32-bit tree, the 64-bit one beside it.
WINDOWS_TESTS := $(CURDIR)/$(WIN_BUILD)
WEB_TESTS := $(CURDIR)/$(WEB_BUILD)
build:
	@tools/install-deps.sh $(TEST_PACKAGES) $(if $(WEB_TESTS),$(WEB_TEST_PACKAGES))
	@[ -z "$(WEB_TESTS)" ] || command -v npm >/dev/null || tools/install-deps.sh npm
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=ON \
		-DVORLIX_WINDOWS_BUILD=$(WINDOWS_TESTS) -DVORLIX_WINDOWS64_BUILD=$(if $(WINDOWS_TESTS),$(CURDIR)/$(WIN64_BUILD)) \
		-DVORLIX_WEB_BUILD=$(WEB_TESTS)
	cmake --build $(BUILD) -j$(JOBS)

# The 32-bit programs in $(WIN_BUILD), the 64-bit ones in $(WIN64_BUILD).
windows:
	@tools/install-deps.sh $(WIN_PACKAGES)
	@tools/install-deps.sh --optional $(WINE32_NOTE) $(WINE32_PACKAGES)
	cmake -S . -B $(WIN_BUILD) $(call toolchain,$(WIN_BUILD),cmake/i686-w64-mingw32.cmake) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j$(JOBS)
	cmake -S . -B $(WIN64_BUILD) $(call toolchain,$(WIN64_BUILD),cmake/x86_64-w64-mingw32.cmake) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN64_BUILD) -j$(JOBS)

# Both programs as pages in $(WEB_BUILD)/web, rings_capture.js for node in
# $(WEB_BUILD)/tools and the lane tests for node in $(WEB_BUILD)/tests. Serve the
# pages from a web server: a page opened from a file cannot load its WebAssembly.
web:
	@tools/install-deps.sh $(WEB_PACKAGES)
	cmake -S . -B $(WEB_BUILD) $(call toolchain,$(WEB_BUILD),cmake/emscripten.cmake) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WEB_BUILD) -j$(JOBS)

# Everything that builds natively, cross-built for aarch64 and tested under qemu-aarch64;
# its frames are compared with the native rings_capture's.
arm64:
	@tools/install-deps.sh $(BUILD_PACKAGES) $(ARM64_PACKAGES)
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DBUILD_TESTING=OFF -DVORLIX_BENCHMARKS=OFF
	cmake --build $(BUILD) -j$(JOBS) --target rings_capture
	cmake -S . -B $(ARM64_BUILD) $(call toolchain,$(ARM64_BUILD),cmake/aarch64-linux-gnu.cmake) \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=ON \
		-DVORLIX_NATIVE_CAPTURE=$(CURDIR)/$(BUILD)/tools/rings_capture
	cmake --build $(ARM64_BUILD) -j$(JOBS)
	ctest --test-dir $(ARM64_BUILD) --output-on-failure -j$(JOBS)

# Every test twice: an optimised build (with the Windows executables under Wine and the
# browser build under node and headless Chromium), then
# under AddressSanitizer and UndefinedBehaviorSanitizer; between them a bounded fuzz run;
# last the aarch64 build under qemu.
test: build windows web
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	$(call skip_reasons,$(BUILD))
	$(MAKE) fuzz
	$(MAKE) sanitize
	$(MAKE) arm64

# make test less the Windows build under Wine and the aarch64 build under qemu: what
# runs on this machine itself.
# TRIES runs a failing test gets before it counts as failed (default one).
TRIES := 1
test-linux:
	$(MAKE) build web WINDOWS_TESTS=
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS) --repeat until-pass:$(TRIES)
	$(MAKE) fuzz
	$(MAKE) sanitize

# Every test of the native tree under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	@tools/install-deps.sh $(TEST_PACKAGES)
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_SANITIZE=ON -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ASAN_OPTIONS=$(SANITIZER_TEST_OPTIONS) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS) \
		--repeat until-pass:$(TRIES)

# The tests on a fresh Debian 13, as root (through sudo otherwise): a trixie root made
# by debootstrap once and kept in build-debian13/, copied anew for each run, with a
# clone of this checkout's HEAD in it, where make runs DEBIAN13_TEST. CI runs it after
# make test, and both must fit in its hour: there the packages are installed anew each
# time, so it runs test-linux, not the Windows and aarch64 builds. There a test gets a
# second run: in both fresh roots made so far, window_wm_minimize, the first run under
# openbox, saw no window within a minute, and passed in every run after (the log keeps
# the failure and what the test saw).
DEBIAN13_TEST := test-linux TRIES=2
test-debian13:
	tools/test-debian13.sh $(DEBIAN13_TEST)

# The converters under libFuzzer for FUZZ_SECONDS. It runs on a copy of the corpus, since
# the fuzzer adds the inputs it finds to it; a crash leaves its input in $(FUZZ_BUILD)/.
fuzz:
	@tools/install-deps.sh $(FUZZ_PACKAGES)
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	rm -rf $(FUZZ_BUILD)/corpus
	cp -R tests/fuzz/corpus $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/tests/fuzz/convert_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
		-artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus

# The renderer's paths, the converters and the software arithmetic; then one presented
# frame of each program with no display, and on a 1024 x 768 Xvfb screen.
bench: build
	$(BUILD)/bench/render_bench
	$(BUILD)/bench/convert_bench
	$(BUILD)/bench/extended_bench
	for program in windowed fullscreen; do \
		SDL_VIDEODRIVER=dummy $(BUILD)/bench/present_bench_$$program && \
		xvfb-run -a -s "-screen 0 1024x768x24" $(BUILD)/bench/present_bench_$$program || exit 1; \
	done

# The release archives, from an optimised tree of the programs alone, the Windows
# trees and the browser tree: the .deb and .tar.gz of the Linux install tree, the
# -win32.zip and -win64.zip of the programs, the -web.zip of the pages.
dist:
	@tools/install-deps.sh $(BUILD_PACKAGES) $(PACKAGE_PACKAGES)
	cmake -S . -B $(DIST_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVORLIX_BENCHMARKS=OFF
	cmake --build $(DIST_BUILD) -j$(JOBS)
	$(MAKE) windows WIN_PACKAGES="g++-mingw-w64-i686 g++-mingw-w64-x86-64" WINE32_PACKAGES=
	$(MAKE) web
	rm -rf $(DIST)
	cd $(DIST_BUILD) && cpack -B $(CURDIR)/$(DIST)
	cd $(WIN_BUILD) && cpack -B $(CURDIR)/$(DIST)
	cd $(WIN64_BUILD) && cpack -B $(CURDIR)/$(DIST)
	cd $(WEB_BUILD) && cpack -B $(CURDIR)/$(DIST)
	rm -rf $(DIST)/_CPack_Packages
	@ls -l $(DIST)

# The README's picture, never edited by hand: DOCS_FRAMES, consecutive frames shown
# at 60 a second as the paced demo shows them, drawn by rings_capture and put
# together by ImageMagick as a lossless animated WebP, so it holds the frames' exact
# pixels. It must stay within 3 MB.
DOCS_FRAMES := 2671-2730
docs: programs
	@tools/install-deps.sh imagemagick
	rm -rf $(BUILD)/docs-frames
	$(BUILD)/tools/rings_capture --frames $(DOCS_FRAMES) --png $(BUILD)/docs-frames
	convert -delay 1x60 -loop 0 $$(seq -f '$(BUILD)/docs-frames/frame-%g.png' $(subst -, ,$(DOCS_FRAMES))) \
		-define webp:lossless=true docs/rings.webp
	@size=$$(stat -c %s docs/rings.webp); echo "docs/rings.webp: $$size bytes"; \
	[ $$size -le 3000000 ] || { echo "docs/rings.webp is over 3 MB" >&2; exit 1; }

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) $(WIN64_BUILD) $(WEB_BUILD) $(FUZZ_BUILD) $(ARM64_BUILD) $(DIST_BUILD) $(DIST)
