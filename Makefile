# make             set up (Debian packages), configure and build the Linux program and KELTOS.exe
# make run         set up what running needs, build, then start the stopwatch on $DISPLAY
# make test        set up, build, run every test; then the Linux suites again in a root of Debian 13
#                  (on Debian 12) and of Debian unstable (scripts/debian-root.sh). It builds both
#                  Windows builds, and the Wine suites run one of them (it says which and why)
# make test-linux  the Linux suites only (unit, X11 end to end, faults, package, Wayland)
# make win32       KELTOS.exe for 32-bit Windows and its Wine probe, in build/win32 (mingw-w64)
# make win64       the same for x86_64 in build/win64: what the Wine suites run where 32-bit x86
#                  programs cannot run (KELTOS_WINE=win32 or win64 picks one, see README)
# make fuzz        the title decoding and comparison under libFuzzer, ASan and UBSan (FUZZ_SECONDS)
# make bench       KELTOS beside xclock and a Qt and an Xlib floor (BENCH_SECONDS, BENCH_RUNS)
# make bench-wayland  the same in the Wayland suites' headless sessions, beside xclock and the Qt
#                  floor under XWayland (BENCH_DESKTOPS=kwin,gnome,sway, BENCH_SWAY_WINDOWS=5,50)
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# Where the builds go: BUILD/linux, BUILD/win32, BUILD/asan, BUILD/fuzz.
BUILD ?= build
# The Linux suites run again in a Debian 13 root on Debian 12, and in a Debian unstable root on
# Debian 12 and 13 (DEBIAN13=0, UNSTABLE=0: not).
RELEASE := $(shell . /etc/os-release 2>/dev/null && echo $$VERSION_ID)
DEBIAN13 ?= $(if $(filter 12,$(RELEASE)),1,0)
UNSTABLE ?= $(if $(filter 12 13,$(RELEASE)),1,0)
ROOTS = $(if $(filter 1,$(DEBIAN13)),debian13) $(if $(filter 1,$(UNSTABLE)),unstable)
DEPS = scripts/install-deps.sh
ROOT = scripts/debian-root.sh
CTEST = ctest --output-on-failure
# Hyprland's suites, in a VM, where Hyprland, QEMU and a kernel are installed (packages.list's
# hyprland use, which test-linux then installs): the Debian unstable root says ON.
KELTOS_HYPRLAND_VM ?= OFF

.PHONY: all deps deps-test linux linux-only win32 win64 asan fuzz bench bench-wayland run test \
        test-linux debian13 unstable install package clean

all: linux win32

deps:
	@$(DEPS) build

# The Linux program, its tests and the benchmark's programs; linux-only: the program alone.
linux:
	@$(DEPS) build testbuild
	cmake -S . -B $(BUILD)/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELTOS_TESTS=ON \
	  -DKELTOS_BENCH=ON -DKELTOS_WIN32_DIR=$(abspath $(BUILD)/win32) \
	  -DKELTOS_HYPRLAND_VM=$(KELTOS_HYPRLAND_VM) $(CMAKE_FLAGS)
	cmake --build $(BUILD)/linux -j $(JOBS)

linux-only: deps
	cmake -S . -B $(BUILD)/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELTOS_TESTS=OFF \
	  -DKELTOS_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD)/linux -j $(JOBS) --target keltos

win32:
	@$(DEPS) build win32
	cmake -S . -B $(BUILD)/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DKELTOS_PLATFORM=win32 -DKELTOS_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD)/win32 -j $(JOBS)

# Not shipped: the Wine suites' build on machines without 32-bit x86 (tests/wine/wine_build.py).
win64:
	@$(DEPS) build win64
	cmake -S . -B $(BUILD)/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DKELTOS_PLATFORM=win32 -DKELTOS_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD)/win64 -j $(JOBS)

asan:
	@$(DEPS) build testbuild
	cmake -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DKELTOS_PLATFORM=none -DKELTOS_SANITIZE=ON
	cmake --build $(BUILD)/asan -j $(JOBS)

FUZZ_SECONDS ?= 20
fuzz:
	@$(DEPS) build test
	CC=clang CXX=clang++ cmake -S tests/fuzz -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)/fuzz -j $(JOBS)
	mkdir -p $(BUILD)/fuzz/corpus
	$(BUILD)/fuzz/title_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $(BUILD)/fuzz/corpus tests/fuzz/seeds

bench: linux
	@$(DEPS) bench
	python3 bench/bench.py $(BUILD)/linux

# The Wayland sessions are the test suites' own: their packages are the tests'.
bench-wayland: linux
	@$(DEPS) bench test
	python3 bench/bench_wayland.py $(BUILD)/linux

run: linux-only
	@# GNOME on Wayland tells KELTOS the focused window only through KELTOS's extension.
	@case "$$XDG_SESSION_TYPE:$$XDG_CURRENT_DESKTOP" in wayland:*GNOME*) \
	  cmake --install $(BUILD)/linux --component gnome-shell-extension --prefix "$$HOME/.local";; esac
	@if [ -z "$$DISPLAY" ]; then echo "make run: no X display (DISPLAY is empty); start it from a desktop session" >&2; exit 1; fi
	$(BUILD)/linux/keltos

test-linux: linux
	@$(DEPS) build test $(if $(filter ON,$(KELTOS_HYPRLAND_VM)),hyprland)
	cd $(BUILD)/linux && $(CTEST) -LE 'wine|win32'

# Everything the tests need, in one go, before anything is built.
deps-test:
	@$(DEPS) build testbuild win32 win64 test wine $(if $(strip $(ROOTS)),root)

# The roots are made (the first time) while the builds run, and waited for before any test
# starts, so that no test runs beside them. A root that cannot be made stops no test here: its
# failure is reported at the end, where the suites run in the roots that were made.
test: deps-test
	$(ROOT) --prepare-while $(BUILD)/roots $(ROOTS) -- $(MAKE) linux win32 win64 asan fuzz
	cd $(BUILD)/asan && $(CTEST)
	-@python3 tests/wine/wine_build.py
	cd $(BUILD)/linux && $(CTEST)
	$(ROOT) --test $(BUILD)/roots $(BUILD) $(ROOTS)

# The Linux suites again, on another release's compilers, Qt and desktops, in the same tree:
# make debian13, make unstable.
debian13 unstable:
	@$(DEPS) root
	$(ROOT) $@ make test-linux BUILD=$(BUILD)/$@

# make install [PREFIX=/usr/local] [DESTDIR=]: keltos, its desktop entry and its icons
PREFIX ?= /usr/local
install: linux-only
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)/linux --prefix "$(PREFIX)"

# make package: $(BUILD)/packages/keltos_*.deb (install with: apt install ./keltos_*.deb) and
# $(BUILD)/packages/KELTOS-1.00-win32.zip (KELTOS.exe and a read-me)
package: linux-only win32
	cd $(BUILD)/linux && cpack -B $(abspath $(BUILD)/packages)
	cmake -DWIN32_DIR=$(BUILD)/win32 -DOUT=$(BUILD)/packages/KELTOS-1.00-win32.zip -P packaging/windows_zip.cmake

clean:
	rm -rf $(BUILD)
