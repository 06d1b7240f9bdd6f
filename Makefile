# The two commands of the README. Each does the whole set-up on a fresh
# machine: packages, configure, build (which lays out build/bin/ as a working
# program folder), then starts the program or runs every test.
BUILD_DIR ?= build
CMAKE_FLAGS ?=
# `make install`: where to, and an optional staging root (DESTDIR).
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: run test build deps configure clean install package

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

# Installs what the last build made; it builds nothing, so that
# `sudo make install` never leaves files owned by root in the build folder.
# Build first with `make build` as yourself.
install:
	@if [ ! -x $(BUILD_DIR)/bin/tarnwick ] || [ ! -x $(BUILD_DIR)/bin/tarnwick-cli ]; then \
	  echo "make install: nothing built in $(BUILD_DIR)/; run 'make build' first" >&2; exit 1; \
	fi
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# The Debian package $(BUILD_DIR)/tarnwick_<version>_<arch>.deb, built in a
# folder of its own with Debian's build flags (hardening), so that the
# ordinary build and its tests keep theirs.
PACKAGE_BUILD_DIR ?= $(BUILD_DIR)/package-build
package: deps
	cmake -S . -B $(PACKAGE_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTARNWICK_DEB_BUILDFLAGS=ON $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_BUILD_DIR) --target tarnwick tarnwick-cli tarnwick_docs
	cd $(PACKAGE_BUILD_DIR) && cpack -G DEB -B "$(abspath $(BUILD_DIR))"

clean:
	rm -rf $(BUILD_DIR)
