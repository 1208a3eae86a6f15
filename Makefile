# Thin wrapper over CMake: `make run` and `make test` set everything up first.
BUILD ?= build
WEB ?= build-web
WEB_PORT ?= 8000
WINDOWS ?= build-windows
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test build deps bench sheet sound-report asan fuzz web web-serve web-test web-bench web-profile windows windows-test dist clean

run: build
	cd $(BUILD)/game && ./valmoren

# Beyond the build, the whole suite needs Xvfb and the window tools (the real
# window tests), the sample sounds of two Debian packages (the decoders tried
# on files made elsewhere), the desktop-file and AppStream validators and man
# (the install test).
TEST_PACKAGES = xvfb xauth xdotool imagemagick x11-utils openbox sound-theme-freedesktop alsa-utils \
  desktop-file-utils appstream man-db

test: export VALMOREN_EXTRA_PACKAGES += $(TEST_PACKAGES)
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

deps:
	sh tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

bench: build
	$(BUILD)/bench/valmoren_bench --benchmark_out=$(BUILD)/bench/results.json --benchmark_out_format=json
	python3 bench/summary.py $(BUILD)/bench/results.json
	python3 bench/sdl_pacing.py $(BUILD)/game 600 --json $(BUILD)/bench/desktop-figures.json
	if [ -f $(WEB)/valmoren.wasm ]; then VALMOREN_DESKTOP_FIGURES=$(BUILD)/bench/desktop-figures.json JOBS=$(JOBS) sh tools/web/web-bench.sh $(WEB) $(BUILD)/game; fi
	if [ -f $(WINDOWS)/cmake/valmoren.exe ] && command -v wine >/dev/null; then sh tools/windows/wine-pacing.sh $(WINDOWS); fi

sheet: build
	cmake --build $(BUILD) --target sheet

# Loudness, peaks, tone and size of every generated sound, and the data's size.
sound-report: build
	cmake --build $(BUILD) --target sound-report

# The test suite under AddressSanitizer and UndefinedBehaviorSanitizer, built
# with -O1 so the whole-game and damaged-file runs stay quick.
asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DVALMOREN_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --output-on-failure -j $(JOBS)

# libFuzzer programs (clang), sanitizers on.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DVALMOREN_SANITIZE=ON -DVALMOREN_FUZZ=ON -DVALMOREN_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)

# The game in a browser tab: emscripten and the three libraries built from
# Debian's source packages (once, kept in $(WEB)/deps), the data and the
# page's icons from the native asset generator, the program in $(WEB)/ and
# the site a host serves (the page and the files it names) in $(WEB)/site/.
web: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target assets web-icons -j $(JOBS)
	sh tools/web/build.sh $(WEB) $(BUILD)/game $(JOBS) $(BUILD)/web-icons

# Serves the site, $(WEB)/site/, on 127.0.0.1 and prints the address.
web-serve:
	python3 tools/web/serve.py $(WEB)/site $(WEB_PORT)

# The web build played in headless Chromium; prints its figures.
web-test: web
	JOBS=$(JOBS) sh tools/web/browser-test.sh $(WEB) $(BUILD)/game

# The browser build's figures on an emulated phone (first visit on a mobile
# network, level 1 at CPU 1x, 4x and 6x, the main thread's busy share), the
# desktop program's beside them. Figures, not judged.
web-bench: web
	JOBS=$(JOBS) sh tools/web/web-bench.sh $(WEB) $(BUILD)/game

# The same with a build that keeps its function names (in $(WEB)/profile),
# and where level 1's time goes: Chromium's profile and trace, summed.
web-profile: web
	JOBS=$(JOBS) sh tools/web/web-bench.sh $(WEB) $(BUILD)/game --profile

# The game's source from the repository, as valmoren-<version>-source.tar.gz
# in $(BUILD)/: what goes with every download of the program.
dist:
	sh tools/source-archive.sh $(BUILD)

# The game for 64-bit Windows: the mingw-w64 cross compilers and the
# libraries built from Debian's source packages (once, kept in
# $(WINDOWS)/deps), the data and icon from the native build, valmoren.exe,
# the zip, the installer and the source archive in $(WINDOWS)/.
windows: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target assets icons -j $(JOBS)
	sh tools/windows/build.sh $(WINDOWS) $(BUILD) $(JOBS)

# The Windows build checked under Wine: the test suite, the real program on
# Xvfb, the zip and the installer.
windows-test: windows
	sh tools/windows/wine-test.sh $(WINDOWS) $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-package $(WEB) $(WINDOWS)

# Installing and packaging. `make install` installs the built game under
# PREFIX (bin/, share/valmoren/, desktop entry, metainfo, icons, manual page;
# DESTDIR works as usual). `make package` builds the Debian package in
# build-package/ (the program in /usr/games, its data in /usr/share/games/valmoren).
PREFIX ?= /usr/local
PACKAGE_TOOLS = dpkg-dev file
.PHONY: install package

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# Built with Debian's hardening flags, as a Debian build would be.
package: export DEB_BUILD_MAINT_OPTIONS = hardening=+all
package:
	VALMOREN_EXTRA_PACKAGES="$$VALMOREN_EXTRA_PACKAGES $(PACKAGE_TOOLS)" sh tools/install-deps.sh
	cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DVALMOREN_TESTS=OFF -DVALMOREN_DEBIAN_LAYOUT=ON \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build build-package -j $(JOBS)
	cd build-package && cpack -G DEB
