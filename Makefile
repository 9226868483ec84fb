# Entry points for people and CI. `make run` builds the tool and runs it on the
# bundled example; `make test` builds both targets and runs every test.
# Both install what they need first (scripts/install-deps.sh).

JOBS ?= $(shell nproc)
BUILD ?= build
NATIVE := $(BUILD)/native
ASAN := $(BUILD)/asan
WINDOWS := $(BUILD)/windows
FUZZ := $(BUILD)/fuzz
CMAKE_FLAGS ?=

.PHONY: all deps native windows asan fuzz fuzz-build run test test-format test-native test-asan test-windows test-fuzz bench clean

all: native

deps:
	bash scripts/install-deps.sh

native: deps
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(NATIVE) -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOVRA_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN) -j $(JOBS)

windows: deps
	cmake -S . -B $(WINDOWS) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build $(WINDOWS) -j $(JOBS)

# Fuzzing: `make fuzz` builds the harnesses and runs each for FUZZ_SECONDS,
# two at a time; CI's test-fuzz is that run.
FUZZ_SECONDS ?= 30
FUZZ_JOBS ?= 2

fuzz: fuzz-build
	bash scripts/run-fuzzers.sh -j $(FUZZ_JOBS) $(FUZZ) $(FUZZ_SECONDS)

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTOVRA_FUZZ=ON -DTOVRA_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ) -j $(JOBS)

run: native
	$(NATIVE)/tools/tovra/tovra unzip -v examples/sample.zip
	rm -rf $(BUILD)/sample-out
	$(NATIVE)/tools/tovra/tovra unzip -o -j examples/sample.zip $(BUILD)/sample-out/
	@echo "extracted into $(BUILD)/sample-out:"; ls -lR $(BUILD)/sample-out

test-native: native
	cd $(NATIVE) && ctest --output-on-failure -j $(JOBS)

test-asan: asan
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

test-windows: windows
	cd $(WINDOWS) && ctest --output-on-failure -j $(JOBS)

test-fuzz: fuzz

test-format: deps
	bash scripts/check-format.sh

test: test-format test-native test-asan test-windows test-fuzz

bench: deps
	cmake -S . -B $(BUILD)/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVRA_BUILD_BENCH=ON -DTOVRA_BUILD_TESTS=OFF
	cmake --build $(BUILD)/bench -j $(JOBS)
	bash bench/run.sh $(BUILD)/bench

# Pictures of the three dialogs for the README (docs/*.png), taken under Wine
# with the Japanese locale on a virtual X screen. Not part of `make test`.
.PHONY: screenshots
screenshots: windows
	bash tests/ui/screenshots.sh $(WINDOWS)/bin/ui_tests.exe docs

clean:
	rm -rf $(BUILD)
