# make        set up (Debian packages), configure and build
# make run    the same, then start the stopwatch on $DISPLAY
# make test   the same, then build and run every test (Xvfb, openbox: started by the tests)
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps linux asan run test install package clean

all: linux

deps:
	@scripts/install-deps.sh

linux: deps
	cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build/linux -j $(JOBS)

asan: deps
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DKELTOS_PLATFORM=none -DKELTOS_SANITIZE=ON
	cmake --build build/asan -j $(JOBS)

run: linux
	@if [ -z "$$DISPLAY" ]; then echo "make run: no X display (DISPLAY is empty); start it from a desktop session" >&2; exit 1; fi
	build/linux/keltos

test: linux asan
	cd build/asan && ctest --output-on-failure
	cd build/linux && ctest --output-on-failure

# make install [PREFIX=/usr/local] [DESTDIR=]: keltos, its desktop entry and its icons
PREFIX ?= /usr/local
install: linux
	DESTDIR="$(DESTDIR)" cmake --install build/linux --prefix "$(PREFIX)"

# make package: build/packages/keltos_*.deb (install with: apt install ./keltos_*.deb)
package: linux
	cd build/linux && cpack -B ../packages

clean:
	rm -rf build
