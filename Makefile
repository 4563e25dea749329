# The two front doors: `make run` and `make check`. Both install what is
# missing first (tools/setup) and need nothing else on a fresh Debian machine.

BUILD  ?= build
JOBS   ?= $(shell nproc)
NATIVE := $(BUILD)/native
ASAN   := $(BUILD)/asan
WIN    := $(BUILD)/win
RELEASE := $(BUILD)/release
# The sample sprites, written by the native build.
SAMPLES := $(NATIVE)/samples
VERSION := $(shell sed -n 's/^project.Kelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
DIST    := dist/kelvane-converter-$(VERSION)
# make run starts the program in a fresh folder laid out as the release is.
RUNDIR  := $(BUILD)/run

.PHONY: all setup native asan win release check check-native check-asan check-win run dist bench clean

all: native win

setup:
	@tools/setup

$(NATIVE)/CMakeCache.txt: | setup
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN)/CMakeCache.txt: | setup
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON

$(WIN)/CMakeCache.txt: | setup
	cmake -S . -B $(WIN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DKELVANE_NATIVE_BUILD=$(abspath $(NATIVE))

$(RELEASE)/CMakeCache.txt: | setup
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release

release: $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)

native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

asan: $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j $(JOBS)

win: $(WIN)/CMakeCache.txt
	cmake --build $(WIN) -j $(JOBS)

check-native: native
	ctest --test-dir $(NATIVE) --output-on-failure

check-asan: asan
	ctest --test-dir $(ASAN) --output-on-failure

# The Windows tests compare kelvane-convert.exe with the native converter.
check-win: native win
	tools/with-display ctest --test-dir $(WIN) --output-on-failure

check: check-native check-asan check-win

# Starts kelvane.exe under Wine in a folder holding the sample sprites and
# the help file, as a user who unpacked the release would.
run: native win
	@tools/make-dist $(WIN) $(NATIVE) $(RUNDIR)
	@tools/run-program $(RUNDIR)/kelvane.exe $(RUNDIR)

# The release: dist/kelvane-converter-VERSION/ and its zip.
dist: native win
	tools/make-dist $(WIN) $(NATIVE) $(DIST) $(DIST).zip

bench: release
	bench/run $(RELEASE)

clean:
	rm -rf $(BUILD) dist
