# Set-up in two commands: `make run` builds and runs the demo, `make test` builds and passes
# every test. Both install whatever the machine lacks first (scripts/install-deps).
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test unit asan clang fuzz bench mutants release release-check web-deps \
  web web-test web-bench windows-deps windows windows-test clean

all: build

deps:
	@scripts/install-deps

# What the Windows build and its tests under wine need besides (mingw-w64, wine, and SDL2,
# FreeType, libxmp and GoogleTest built for Windows into third_party/windows); only the
# Windows targets ask for it.
windows-deps:
	@JOBS=$(JOBS) scripts/install-windows-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/yarvik

# Every test through ctest, then the same unit tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer (the end-to-end runs of the real program are left out there),
# everything built and unit-tested again with clang, the fuzzer, the release's contents (make
# release; no network, no run of the demo), the browser build's tests (make web-test), and the
# Windows build's under wine (make windows-test).
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) asan
	$(MAKE) clang
	$(MAKE) fuzz
	$(MAKE) release
	cd $(RELEASE_BUILD) && ctest --output-on-failure
	$(MAKE) web-test
	$(MAKE) windows-test

# The fast inner loop: every test but the end-to-end runs of the real program.
unit: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -LE e2e

asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DYARVIK_SANITIZE=ON -DYARVIK_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) -LE e2e

# The core, the programs, the tools and the tests compiled by clang (warnings as errors, as
# with GCC), then the unit tests run again: what one compiler lets through, the other may not.
CLANG_BUILD ?= build-clang
clang: deps
	cmake -S . -B $(CLANG_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DYARVIK_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(CLANG_BUILD) -j$(JOBS)
	cd $(CLANG_BUILD) && ctest --output-on-failure -j$(JOBS) -LE e2e

# The TGA decoder under libFuzzer (clang, AddressSanitizer, UndefinedBehaviorSanitizer) for a
# minute from the seeds in tests/fuzz/corpus; any finding, or an allocation of 64 MB or more,
# fails it and leaves the input in build-fuzz/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DYARVIK_FUZZ=ON -DYARVIK_TESTS=OFF -DYARVIK_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) --target tga_fuzzer -j$(JOBS)
	mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/tests/fuzz/tga_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -malloc_limit_mb=64 \
	  -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus tests/fuzz/corpus

# Builds (Release) and runs every benchmark in bench/, the whole demo through the capture
# tool's profile, the start-up of the real program under Xvfb and the allocation test, and
# prints one table of the figures against their targets. BENCH_ARGS go to bench/report.py
# (e.g. --real-seconds 10 to close the real program early instead of a whole run).
BENCH_BUILD ?= build-bench
BENCH_ARGS ?=
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DYARVIK_TESTS=ON -DYARVIK_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) --target benchmarks -j$(JOBS)
	python3 bench/report.py --build $(BENCH_BUILD) $(BENCH_ARGS)

# Plants each fault listed in tests/mutants.txt in turn, rebuilds build-mutants incrementally,
# runs every test but the end-to-end runs, restores the file, and prints the faults no test
# caught and the kill rate. Not part of `make test`: it takes 15 to 35 minutes.
MUTANT_BUILD ?= build-mutants
mutants: deps
	scripts/mutants --build $(MUTANT_BUILD) --jobs $(JOBS)

# The release: dist/yarvik-VERSION-linux-x86_64.tar.gz, the demo archive with its libraries
# linked in (build-release), and dist/yarvik_VERSION_amd64.deb, the Debian package on Debian's
# shared libraries (from a second configuration, build-release/package). release-check runs
# lintian and the AppStream and desktop-entry validators on the package, then both in bare
# Debian 12 roots made from the package mirror (it needs the network and a few minutes).
RELEASE_BUILD ?= build-release
release: deps
	cmake -S . -B $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release -DYARVIK_RELEASE=ON -DYARVIK_TESTS=OFF \
	  -DYARVIK_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(RELEASE_BUILD) --target release -j$(JOBS)

release-check: release
	packaging/release-check $(RELEASE_BUILD)

# The browser build, configured with emscripten's toolchain in its own folder: the wasm
# libraries (libxmp and FreeType from Debian's sources), the demo's page in
# dist/yarvik-web-VERSION/ and its zip, and the browser tests' programs and page. Only these
# targets install emscripten, chromium and playwright-core (scripts/install-web-deps);
# web-test runs the browser tests (label web) on node and in headless Chromium, comparing the
# page's frames with the desktop build's capture tool.
WEB_BUILD ?= build-web
web-deps:
	@scripts/install-web-deps

web: web-deps
	emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DYARVIK_NATIVE_CAPTURE=$(abspath $(BUILD))/tools/capture/yarvik-capture
	cmake --build $(WEB_BUILD) -j$(JOBS)

web-test: build web
	cd $(WEB_BUILD) && ctest --output-on-failure -L web

# The page played whole in headless Chromium at 640x480 and 1280x960: frames per second, gaps,
# click to first frame, the program's gzipped size (bench/web_page.js; about five minutes).
web-bench: web
	node bench/web_page.js $(WEB_BUILD)/page 640x480 1280x960

# The Windows build, cross-compiled with mingw-w64 in its own folder against the Windows
# libraries scripts/install-windows-deps builds (once) into third_party/windows: yarvik.exe and
# dist/yarvik-VERSION-windows-x86_64.zip, and the unit tests built for Windows. windows-test runs
# them and the smoke test of yarvik.exe under wine and Xvfb (label windows), one at a time.
WINDOWS_BUILD ?= build-windows
windows: windows-deps
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINDOWS_BUILD) -j$(JOBS)

windows-test: windows
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -L windows

# Every build folder the targets above make.
clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(CLANG_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(RELEASE_BUILD) $(MUTANT_BUILD) \
	  $(WEB_BUILD) $(WINDOWS_BUILD)
