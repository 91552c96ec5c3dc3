MAKEFLAGS += --no-print-directory
include scripts/build-folders.env
JOBS   := 2
X86    := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release
X64    := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps build build-x86 build-x64 native run test fuzz bench dist clean

all: build

deps:
	@scripts/deps.sh

# Both Windows builds, from the same sources, each in its folder of scripts/build-folders.env.
build: build-x86 build-x64

build-x86: deps
	@cmake -S . -B $(QAV_BUILD_X86) $(X86) >/dev/null
	@cmake --build $(QAV_BUILD_X86) -j $(JOBS)

build-x64: deps
	@cmake -S . -B $(QAV_BUILD_X64) $(X64) >/dev/null
	@cmake --build $(QAV_BUILD_X64) -j $(JOBS)

native: deps
	@cmake -S . -B $(QAV_BUILD_NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(QAV_BUILD_NATIVE) -j $(JOBS)

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
	rm -rf $(QAV_BUILD_X86) $(QAV_BUILD_X64) $(QAV_BUILD_NATIVE) $(QAV_BUILD_FUZZ) dist
