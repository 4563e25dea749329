# The two front doors: `make run` and `make check`. Both install what is
# missing first (tools/setup) and need nothing else on a fresh Debian machine.

BUILD  ?= build
JOBS   ?= $(shell nproc)
NATIVE := $(BUILD)/native
ASAN   := $(BUILD)/asan
TSAN   := $(BUILD)/tsan
WIN    := $(BUILD)/win
RELEASE := $(BUILD)/release
FUZZ   := $(BUILD)/fuzz
PACKAGE := $(BUILD)/package
FUZZ_SECONDS ?= 60
# The sample sprites, written by the native build.
SAMPLES := $(NATIVE)/samples
VERSION := $(shell sed -n 's/^project.Kelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
DIST    := dist/kelvane-converter-$(VERSION)
DEB     := dist/kelvane-converter_$(VERSION)_$(shell dpkg --print-architecture 2>/dev/null || echo amd64).deb
# make run starts the program in a fresh folder laid out as the release is.
RUNDIR  := $(BUILD)/run
# The page (make web): the WebAssembly tree, what it is built from, the page.
WEBCORE := $(BUILD)/web-core
WEBDEPS := $(BUILD)/web-deps
WEB     := $(BUILD)/web
WEB_PORT ?= 8000
# emcc runs its JavaScript parts with node; a node other than Debian's needs
# to be shown Debian's acorn.
EMENV   := NODE_PATH=/usr/share/nodejs

.PHONY: all setup native asan tsan win release check check-native check-asan check-tsan check-win run dist bench clean \
        fuzzers fuzz check-fuzz memcheck deb check-deb web web-setup web-serve check-web format format-check tidy gimp-plugin-install

all: native win

setup:
	@tools/setup

$(NATIVE)/CMakeCache.txt: | setup
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN)/CMakeCache.txt: | setup
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE=ON

$(TSAN)/CMakeCache.txt: | setup
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DKELVANE_SANITIZE_THREAD=ON

$(WIN)/CMakeCache.txt: | setup
	cmake -S . -B $(WIN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DKELVANE_NATIVE_BUILD=$(abspath $(NATIVE))

$(FUZZ)/CMakeCache.txt: | setup
	cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

$(PACKAGE)/CMakeCache.txt: | setup
	cmake -S . -B $(PACKAGE) -DCMAKE_BUILD_TYPE=Release -DKELVANE_PACKAGE=ON \
	  -DKELVANE_WIN_BUILD=$(abspath $(WIN)) -DKELVANE_DIST_DIR=$(abspath dist)

$(RELEASE)/CMakeCache.txt: | setup
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release

release: $(RELEASE)/CMakeCache.txt
	cmake --build $(RELEASE) -j $(JOBS)

native: $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j $(JOBS)

asan: $(ASAN)/CMakeCache.txt
	cmake --build $(ASAN) -j $(JOBS)

tsan: $(TSAN)/CMakeCache.txt
	cmake --build $(TSAN) -j $(JOBS) --target kelvane_cli_tests kelvane_unit_tests

win: $(WIN)/CMakeCache.txt
	cmake --build $(WIN) -j $(JOBS)

check-native: native
	ctest --test-dir $(NATIVE) --output-on-failure

check-asan: asan
	ctest --test-dir $(ASAN) --output-on-failure

# kelvane-convert's runs on several threads under ThreadSanitizer: the
# command-line tests, which run it on four threads and interrupt it there;
# the sprite parser and decoder on two threads at once; and two conversions
# with settings of their own at once.
check-tsan: tsan
	ctest --test-dir $(TSAN) -R '^(cli|sprite_threads|conversion_threads)$$' --output-on-failure

# The Windows tests compare kelvane-convert.exe with the native converter.
check-win: native win
	tools/with-display ctest --test-dir $(WIN) --output-on-failure

# Each fuzz target for FUZZ_SECONDS (make fuzz) or 20 s (make check), then
# the saved regression inputs.
fuzzers: $(FUZZ)/CMakeCache.txt
	cmake --build $(FUZZ) -j $(JOBS)

fuzz: fuzzers
	fuzz/run $(FUZZ) $(FUZZ_SECONDS)

check-fuzz: fuzzers
	fuzz/run $(FUZZ) 20

# The native test programs under Valgrind, with the converter processes they
# start: no invalid access, no leak.
MEMCHECK_TESTS := $(NATIVE)/tests/kelvane_unit_tests $(NATIVE)/tests/cli/kelvane_cli_tests

memcheck: native
	for test in $(MEMCHECK_TESTS); do \
	  valgrind --error-exitcode=1 --vgdb=no --leak-check=full --errors-for-leak-kinds=definite,indirect,possible \
	    --track-origins=yes --trace-children=yes --suppressions=$(abspath tests/valgrind.supp) -q $$test || exit 1; \
	done

# The package unpacked: its tools against the native tree's, its man pages,
# desktop entry, and lintian.
check-deb: deb native
	sh tests/package/package_test.sh $(DEB) $(NATIVE)

# The page: the core compiled with emscripten, laid out in build/web with
# the sample sprites beside it.
web-setup:
	@tools/setup --web $(WEBDEPS)

$(WEBCORE)/CMakeCache.txt: | web-setup
	$(EMENV) emcmake cmake -S . -B $(WEBCORE) -DCMAKE_BUILD_TYPE=Release -DKELVANE_WEB=ON \
	  -DKELVANE_ZLIB_SOURCE=$(abspath $(WEBDEPS))/zlib \
	  -DKELVANE_WEB_OUTPUT=$(abspath $(WEB))

web: web-setup $(WEBCORE)/CMakeCache.txt $(NATIVE)/CMakeCache.txt
	$(EMENV) cmake --build $(WEBCORE) -j $(JOBS) --target page
	cmake --build $(NATIVE) -j $(JOBS) --target samples
	mkdir -p $(WEB)/samples && cp $(SAMPLES)/*.dc6 $(SAMPLES)/*.pal $(WEB)/samples/

# Serves the page on this machine only, for development.
web-serve: web
	@echo "The page: http://127.0.0.1:$(WEB_PORT)/"
	python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(WEB)

# The page in headless Chromium, served on 127.0.0.1 and opened as a file,
# against the native tools.
check-web: web native
	cd $(WEBDEPS)/npm && KELVANE_ROOT=$(abspath .) npm run lint
	NODE_PATH=$(abspath $(WEBDEPS))/npm/node_modules node --test tests/web/

check: format-check check-native tidy check-asan check-tsan check-win check-fuzz memcheck check-deb check-web

# The house style (.clang-format, .clang-tidy): the C++ sources as
# clang-format would lay them out, and clang-tidy's checks on the core.
CXX_SOURCES = $(shell git ls-files '*.cpp' '*.h')
CORE_SOURCES = $(shell git ls-files 'platform/*.cpp' 'notice/*.cpp' 'sprite/*.cpp' 'image/*.cpp' 'convert/*.cpp' 'run/*.cpp')

format-check: setup
	clang-format --style=file --dry-run --Werror $(CXX_SOURCES)

format:
	clang-format --style=file -i $(CXX_SOURCES)

tidy: native
	clang-tidy -p $(NATIVE) --quiet $(CORE_SOURCES)

# Starts kelvane.exe under Wine in a folder holding the sample sprites and
# the help file, as a user who unpacked the release would.
run: native win
	@tools/make-dist $(WIN) $(NATIVE) $(RUNDIR)
	@tools/run-program $(RUNDIR)/kelvane.exe $(RUNDIR)

# The release: dist/kelvane-converter-VERSION/ and its zip.
dist: native win
	tools/make-dist $(WIN) $(NATIVE) $(DIST) $(DIST).zip

# The Debian package dist/kelvane-converter_VERSION_ARCH.deb: the tools from
# a Release tree of its own, the Windows program and its help from the
# Windows tree.
deb: $(PACKAGE)/CMakeCache.txt $(WIN)/CMakeCache.txt
	cmake --build $(WIN) -j $(JOBS) --target kelvane help_file
	cmake --build $(PACKAGE) -j $(JOBS)
	cd $(PACKAGE) && cpack -G DEB
	@echo $(DEB)

# The GIMP plug-in into the user's own GIMP 2.10.
GIMP_PLUGINS ?= $(HOME)/.config/GIMP/2.10/plug-ins
gimp-plugin-install: native
	cmake --build $(NATIVE) -j $(JOBS) --target file-kelvane-dc6
	install -D -m 755 $(NATIVE)/gimp/plug-ins/file-kelvane-dc6/file-kelvane-dc6 \
	  $(GIMP_PLUGINS)/file-kelvane-dc6/file-kelvane-dc6

bench: release web
	NODE_PATH=$(abspath $(WEBDEPS))/npm/node_modules bench/run $(RELEASE) $(WEB)

clean:
	rm -rf $(BUILD) dist
