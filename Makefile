# Thin wrapper over CMake: `make run` and `make test` install what is missing first.
BUILD := build
ASAN_BUILD := build-asan
WIN_BUILD := build-win
FUZZ_BUILD := build-fuzz
DIST_BUILD := build-dist
DIST := dist
ARM64_BUILD := build-arm64
FUZZ_SECONDS := 60
JOBS := $(shell nproc)

BUILD_PACKAGES := cmake make g++ pkg-config libpng-dev libsdl2-dev libx11-dev
# CPack's .deb: dpkg-shlibdeps finds the run-time dependencies, file picks the binaries.
PACKAGE_PACKAGES := dpkg-dev file
# The end-to-end runs: a private X server, a window manager on it, and tools that act
# on windows as a person would (xmessage is the other program that takes the focus);
# a Wayland compositor nested in it, the decorations SDL draws there and the Mesa
# drivers that its renderer draws with.
TEST_PACKAGES := $(BUILD_PACKAGES) libgtest-dev libbenchmark-dev libmpfr-dev \
	xvfb xauth xdotool imagemagick openbox wmctrl x11-utils $(PACKAGE_PACKAGES) desktop-file-utils \
	weston libdecor-0-plugin-1-cairo libgl1-mesa-dri
# The Windows executables: a cross compiler, and Wine with the Mesa GL drivers that its
# DirectDraw needs even on Xvfb.
WIN_PACKAGES := g++-mingw-w64-i686 wine wine32:i386 libgl1-mesa-dri libgl1-mesa-dri:i386
# The converters' fuzz target: clang and its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES := cmake make clang libclang-rt-14-dev
# The aarch64 build: Debian's cross compiler, the arm64 libraries from multiarch, and
# qemu-user to run its tests here.
ARM64_PACKAGES := cmake make pkg-config g++-aarch64-linux-gnu qemu-user xvfb xauth \
	libpng-dev:arm64 libsdl2-dev:arm64 libgtest-dev:arm64 libbenchmark-dev:arm64 libmpfr-dev:arm64 \
	libx11-dev:arm64

.PHONY: run test build windows arm64 fuzz bench dist clean

# A tree that `make test` has not configured yet is configured for the programs alone.
run:
	@tools/install-deps.sh $(BUILD_PACKAGES)
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DBUILD_TESTING=OFF -DVORLIX_BENCHMARKS=OFF
	cmake --build $(BUILD) -j$(JOBS) --target rings_window
	@$(BUILD)/rings_window; status=$$?; \
	if [ $$status = 255 ]; then echo "rings_window: no display could be opened; is DISPLAY set?" >&2; fi; \
	exit $$status

build:
	@tools/install-deps.sh $(TEST_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=ON \
		-DVORLIX_WINDOWS_BUILD=$(CURDIR)/$(WIN_BUILD)
	cmake --build $(BUILD) -j$(JOBS)

windows:
	@tools/install-deps.sh $(WIN_PACKAGES)
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j$(JOBS)

# Everything that builds natively, cross-built for aarch64 and tested under qemu-aarch64;
# its frames are compared with the native rings_capture's.
arm64:
	@tools/install-deps.sh $(BUILD_PACKAGES) $(ARM64_PACKAGES)
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DBUILD_TESTING=OFF -DVORLIX_BENCHMARKS=OFF
	cmake --build $(BUILD) -j$(JOBS) --target rings_capture
	cmake -S . -B $(ARM64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=ON \
		-DVORLIX_NATIVE_CAPTURE=$(CURDIR)/$(BUILD)/tools/rings_capture
	cmake --build $(ARM64_BUILD) -j$(JOBS)
	ctest --test-dir $(ARM64_BUILD) --output-on-failure -j$(JOBS)

# Every test twice: an optimised build (with the Windows executables under Wine), then
# under AddressSanitizer and UndefinedBehaviorSanitizer; between them a bounded fuzz run;
# last the aarch64 build under qemu.
test: build windows
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	$(MAKE) fuzz
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_SANITIZE=ON -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)
	$(MAKE) arm64

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

# The release archives, from an optimised tree of the programs alone and the Windows
# tree: the .deb and .tar.gz of the Linux install tree, the -win32.zip of the programs.
dist:
	@tools/install-deps.sh $(BUILD_PACKAGES) $(PACKAGE_PACKAGES)
	cmake -S . -B $(DIST_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVORLIX_BENCHMARKS=OFF
	cmake --build $(DIST_BUILD) -j$(JOBS)
	$(MAKE) windows WIN_PACKAGES=g++-mingw-w64-i686
	rm -rf $(DIST)
	cd $(DIST_BUILD) && cpack -B $(CURDIR)/$(DIST)
	cd $(WIN_BUILD) && cpack -B $(CURDIR)/$(DIST)
	rm -rf $(DIST)/_CPack_Packages
	@ls -l $(DIST)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) $(FUZZ_BUILD) $(ARM64_BUILD) $(DIST_BUILD) $(DIST)
