# Thin wrapper over CMake: `make run` and `make test` install what is missing first.
BUILD := build
ASAN_BUILD := build-asan
WIN_BUILD := build-win
JOBS := $(shell nproc)

BUILD_PACKAGES := cmake make g++ pkg-config libpng-dev libsdl2-dev
TEST_PACKAGES := $(BUILD_PACKAGES) libgtest-dev libbenchmark-dev libmpfr-dev libx11-dev \
	xvfb xauth xdotool imagemagick
# The Windows executables: a cross compiler, and Wine with the Mesa GL drivers that its
# DirectDraw needs even on Xvfb.
WIN_PACKAGES := g++-mingw-w64-i686 wine wine32:i386 libgl1-mesa-dri libgl1-mesa-dri:i386

.PHONY: run test build windows bench clean

run:
	@tools/install-deps.sh $(BUILD_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS) --target rings_window
	$(BUILD)/rings_window

build:
	@tools/install-deps.sh $(TEST_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=ON \
		-DVORLIX_WINDOWS_BUILD=$(CURDIR)/$(WIN_BUILD)
	cmake --build $(BUILD) -j$(JOBS)

windows:
	@tools/install-deps.sh $(WIN_PACKAGES)
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j$(JOBS)

# Every test twice: an optimised build (with the Windows executables under Wine), then
# under AddressSanitizer and UndefinedBehaviorSanitizer.
test: build windows
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_SANITIZE=ON -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

bench: build
	$(BUILD)/bench/render_bench
	$(BUILD)/bench/convert_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD)
