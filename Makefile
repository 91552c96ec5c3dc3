MAKEFLAGS += --no-print-directory
BUILD  := build
NATIVE := build-native
JOBS   := 2
CROSS  := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps build native run test fuzz bench clean

all: build

deps:
	@scripts/deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CROSS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

run: build
	@scripts/run.sh

test: build native
	@scripts/test.sh

fuzz: deps
	@scripts/fuzz.sh

bench: build native
	@scripts/bench.sh

clean:
	rm -rf $(BUILD) $(NATIVE) build-fuzz
