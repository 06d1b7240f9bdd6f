# The two commands of the README. Each does the whole set-up on a fresh
# machine: packages, configure, build (which lays out build/bin/ as a working
# program folder), then starts the program or runs every test.
BUILD_DIR ?= build
CMAKE_FLAGS ?=

.PHONY: run test build deps configure clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/bin/tarnwick

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy \
	  ctest --output-on-failure --timeout 300 -j2

clean:
	rm -rf $(BUILD_DIR)
