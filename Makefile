# make        set up (Debian packages), configure and build
# make run    the same, then start the stopwatch on $DISPLAY
# make test   the same, then build and run every test (Xvfb, openbox: started by the tests)
# make win32  KELTOS.exe for 32-bit Windows and its Wine probe, in build/win32 (mingw-w64)
# make fuzz   the title decoding and comparison under libFuzzer, ASan and UBSan (FUZZ_SECONDS)
# make bench  KELTOS beside xclock and a Qt and an Xlib floor (BENCH_SECONDS, BENCH_RUNS)
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps linux win32 asan fuzz bench run test install package clean

all: linux win32

deps:
	@scripts/install-deps.sh

linux: deps
	cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build/linux -j $(JOBS)

win32: deps
	cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DKELTOS_PLATFORM=win32 -DKELTOS_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build build/win32 -j $(JOBS)

asan: deps
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DKELTOS_PLATFORM=none -DKELTOS_SANITIZE=ON
	cmake --build build/asan -j $(JOBS)

FUZZ_SECONDS ?= 20
fuzz: deps
	CC=clang CXX=clang++ cmake -S tests/fuzz -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/fuzz -j $(JOBS)
	mkdir -p build/fuzz/corpus
	build/fuzz/title_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 build/fuzz/corpus tests/fuzz/seeds

bench: linux
	python3 bench/bench.py build/linux

run: linux
	@# GNOME on Wayland tells KELTOS the focused window only through KELTOS's extension.
	@case "$$XDG_SESSION_TYPE:$$XDG_CURRENT_DESKTOP" in wayland:*GNOME*) \
	  cmake --install build/linux --component gnome-shell-extension --prefix "$$HOME/.local";; esac
	@if [ -z "$$DISPLAY" ]; then echo "make run: no X display (DISPLAY is empty); start it from a desktop session" >&2; exit 1; fi
	build/linux/keltos

test: linux win32 asan fuzz
	cd build/asan && ctest --output-on-failure
	cd build/linux && ctest --output-on-failure

# make install [PREFIX=/usr/local] [DESTDIR=]: keltos, its desktop entry and its icons
PREFIX ?= /usr/local
install: linux
	DESTDIR="$(DESTDIR)" cmake --install build/linux --prefix "$(PREFIX)"

# make package: build/packages/keltos_*.deb (install with: apt install ./keltos_*.deb) and
# build/packages/KELTOS-1.00-win32.zip (KELTOS.exe and a read-me)
package: linux win32
	cd build/linux && cpack -B ../packages
	cmake -DWIN32_DIR=build/win32 -DOUT=build/packages/KELTOS-1.00-win32.zip -P packaging/windows_zip.cmake

clean:
	rm -rf build
