# Set-up in two commands: `make run` builds and runs the demo, `make test` builds and passes
# every test. Both install whatever the machine lacks first (scripts/install-deps).
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test unit asan fuzz bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/yarvik

# Every test through ctest, then the same unit tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer (the end-to-end runs of the real program are left out there).
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	$(MAKE) asan

unit: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -LE e2e

asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DYARVIK_SANITIZE=ON -DYARVIK_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) -LE e2e

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
