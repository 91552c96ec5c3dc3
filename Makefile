MAKEFLAGS += --no-print-directory
BUILD  := build
BUILD64 := build-x64
NATIVE := build-native
JOBS   := 2
X86    := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
X64    := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps build build-x86 build-x64 native run test fuzz bench dist clean

all: build

deps:
	@scripts/deps.sh

# Both Windows builds, from the same sources: 32-bit in build/, 64-bit in build-x64/.
build: build-x86 build-x64

build-x86: deps
	@cmake -S . -B $(BUILD) $(X86) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

build-x64: deps
	@cmake -S . -B $(BUILD64) $(X64) >/dev/null
	@cmake --build $(BUILD64) -j $(JOBS)

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

# dist/QAVDemo-<version>-win32.zip and -win64.zip, from both builds.
dist: build
	@scripts/dist.sh

clean:
	rm -rf $(BUILD) $(BUILD64) $(NATIVE) build-fuzz dist
