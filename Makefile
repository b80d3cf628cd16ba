# Thin wrapper over CMake: `make run` and `make test` install what is missing first.
BUILD := build
ASAN_BUILD := build-asan
JOBS := $(shell nproc)

BUILD_PACKAGES := cmake make g++ pkg-config libpng-dev libsdl2-dev
TEST_PACKAGES := $(BUILD_PACKAGES) libgtest-dev libbenchmark-dev libmpfr-dev xvfb xauth xdotool g++-mingw-w64-i686

.PHONY: run test build bench clean

run:
	@tools/install-deps.sh $(BUILD_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DVORLIX_BENCHMARKS=OFF
	cmake --build $(BUILD) -j$(JOBS) --target rings_capture
	$(BUILD)/tools/rings_capture --frames 1-360 --png $(BUILD)/frames
	@echo "The windowed demo is not built yet; frames 1-360 of the animation are in $(BUILD)/frames/."

build:
	@tools/install-deps.sh $(TEST_PACKAGES)
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=ON
	cmake --build $(BUILD) -j$(JOBS)

# Every test twice: an optimised build, then under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_SANITIZE=ON -DBUILD_TESTING=ON -DVORLIX_BENCHMARKS=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

bench: build
	$(BUILD)/bench/render_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
