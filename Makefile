# camview: the two commands people run are `make demo` and `make test`.
# Both install what is missing (scripts/bootstrap), configure with the CMake presets and build.

JOBS ?= $(shell nproc)
CTEST = ctest --output-on-failure -j $(JOBS)

.PHONY: test demo bootstrap native asan tsan windows mingw32 mingw64 fuzz bench clean

test: bootstrap native asan tsan windows fuzz
	@echo "make test: all suites passed"

bootstrap:
	@scripts/bootstrap

# Optimised build with every suite.
native: bootstrap
	cmake --preset native
	cmake --build build/native -j $(JOBS)
	$(CTEST) --test-dir build/native

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
windows: mingw32 mingw64

mingw32 mingw64: bootstrap
	scripts/wine-prefix
	cmake --preset $@
	cmake --build build/$@ -j $(JOBS)
	$(CTEST) --test-dir build/$@

# Starts the recorder simulator on a free loopback port and the viewer against it: a window
# when DISPLAY is set, else PNG snapshots in demo-output/.
demo: bootstrap
	cmake --preset native
	cmake --build build/native -j $(JOBS)
	scripts/demo build/native

# Every libFuzzer target (clang), each run once over its seed corpus in fuzz/<area>/corpus/.
fuzz: bootstrap
	cmake --preset fuzz
	cmake --build build/fuzz -j $(JOBS) --target fuzz_targets
	$(CTEST) --test-dir build/fuzz -L fuzz

# Every Google Benchmark program of the native build, one after the other.
bench: native
	@for b in $$(find build/native/bench -mindepth 2 -maxdepth 2 -type f -executable -name '*bench*' ! -name '*_picture' | sort); do \
	  echo "== $$b"; "$$b" || exit 1; done

clean:
	rm -rf build demo-output
