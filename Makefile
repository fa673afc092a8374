# camview: the two commands people run are `make demo` and `make test`.
# Both install what is missing (scripts/bootstrap), configure with the CMake presets and build.

JOBS ?= $(shell nproc)
CTEST = ctest --output-on-failure -j $(JOBS)

.PHONY: test format-check demo bootstrap native asan tsan windows mingw32 mingw64 fuzz bench clean wasm web web-deps dist dist-check

test: bootstrap format-check native asan tsan windows fuzz web dist-check
	@echo "make test: all suites passed"

bootstrap:
	@scripts/bootstrap

# Every C/C++ source follows .clang-format (the files that differ are listed).
format-check: bootstrap
	scripts/format-check

# Optimised build with every suite.
native: bootstrap
	cmake --preset native
	cmake --build build/native -j $(JOBS)
	$(CTEST) --test-dir build/native -LE web

# Every suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: bootstrap
	cmake --preset asan
	cmake --build build/asan -j $(JOBS)
	$(CTEST) --test-dir build/asan

# The threaded suites under ThreadSanitizer.
tsan: bootstrap
	cmake --preset tsan
	cmake --build build/tsan -j $(JOBS) --target threaded_tests
	$(CTEST) --test-dir build/tsan -L threaded

# The Windows builds (i686 and x86_64); their suites run under Wine in a headless prefix.
# A suite that fails is run once more: rarely a Wine program ends at its start, before its
# first line of output (seen once in the ActiveX container suite, not reproduced in the same
# group of suites run eight times over); a real fault fails both runs.
windows: mingw32 mingw64

mingw32 mingw64: bootstrap
	scripts/wine-prefix
	cmake --preset $@
	cmake --build build/$@ -j $(JOBS)
	$(CTEST) --test-dir build/$@ --repeat until-pass:2

# The viewer core in WebAssembly (emscripten): the page's module, camview-decode for node,
# the decoder suites under node.
wasm: bootstrap
	cmake --preset wasm
	cmake --build build/wasm -j $(JOBS)
	$(CTEST) --test-dir build/wasm

# puppeteer-core for the browser suites, as the lock file pins it (Debian's Chromium drives
# the pages; no browser is downloaded).
web-deps:
	@[ tests/web/node_modules/.package-lock.json -nt tests/web/package-lock.json ] || \
	  (cd tests/web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)

# The browser suites (headless Chromium, the gateway, the recorder simulator) and the
# WebAssembly decoder against the native one.
web: native wasm web-deps
	$(CTEST) --test-dir build/native -L web

# Starts the recorder simulator on a free loopback port, the gateway in front of it (the page's
# URL is printed) and the desktop viewer: a window when DISPLAY is set, else PNG snapshots and
# a headless Chromium screenshot of the page in demo-output/.
demo: bootstrap wasm web-deps
	cmake --preset native
	cmake --build build/native -j $(JOBS)
	scripts/demo build/native

# Every libFuzzer target (clang), each run once over its seed corpus in fuzz/<area>/corpus/.
fuzz: bootstrap
	cmake --preset fuzz
	cmake --build build/fuzz -j $(JOBS) --target fuzz_targets
	$(CTEST) --test-dir build/fuzz -L fuzz

# What ships, in dist/: the stripped Release modules npcamview.dll and CamViewControl.ocx for
# i686 and x86_64 in camview-VERSION-win32.zip and -win64.zip, and the .deb packages of camview,
# camview-recorder and camview-gateway. Only the shipped targets are built; the same tree gives
# the same bytes (SOURCE_DATE_EPOCH: the last commit).
dist: bootstrap
	JOBS=$(JOBS) scripts/dist

# The checks of dist/: the zips' contents, the modules' machine, imports, exports and version
# resources, the packages' files and programs, and that packing again gives the same bytes.
dist-check: dist
	$(CTEST) --test-dir build/dist-native -L dist

# Every Google Benchmark program of the native build, one after the other.
bench: native
	@for b in $$(find build/native/bench -mindepth 2 -maxdepth 2 -type f -executable -name '*bench*' ! -name '*_picture' | sort); do \
	  echo "== $$b"; "$$b" || exit 1; done

clean:
	rm -rf build demo-output dist
