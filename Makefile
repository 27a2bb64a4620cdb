# Thin wrapper over CMake: make builds, make check runs every test, make demo converts the
# examples, make bench prints timings, make fuzz and make fuzz-smoke run the fuzzers, make install
# installs the programs and manual pages; make bench-road times kotobun2pdf (and upLaTeX beside it).
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= 2
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all check test sanitize format-check tidy demo bench bench-road fuzz fuzz-smoke install clean

all: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DWARNINGS_AS_ERRORS=ON $(CMAKE_FLAGS)

test: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# What CI runs: format check, the build with warnings as errors, every test, clang-tidy, then
# every test again under AddressSanitizer and UndefinedBehaviorSanitizer.
check: format-check test tidy sanitize

sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Sanitize -DWARNINGS_AS_ERRORS=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow

format-check:
	@files=$$(git ls-files '*.cc' '*.h' 2>/dev/null); \
	if command -v clang-format >/dev/null && [ -n "$$files" ]; then \
	  clang-format --dry-run -Werror $$files && echo "format check: ok"; \
	else echo "format check: skipped (no clang-format)"; fi

tidy: all
	@files=$$(git ls-files 'converter/*.cc' 'fonttables/*.cc' 'viewer/*.cc' 'platform/*.cc' \
	  'fontkit/*.cc' 'road/*.cc'); \
	if command -v clang-tidy >/dev/null; then \
	  clang-tidy -p $(BUILD) --quiet $$files 2>/dev/null && echo "clang-tidy: ok"; \
	else echo "clang-tidy: skipped (not installed)"; fi

# The programs into PREFIX/bin, the manual pages into PREFIX/share/man/man1 (DESTDIR is honoured).
install: all
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

demo: all
	bash tools/demo.sh $(BUILD)

bench: all
	sh bench/run.sh $(BUILD)

bench-road: all
	sh bench/road.sh $(BUILD)

# Builds every fuzzer with libFuzzer (clang) and runs each for FUZZ_SECONDS from a copy of its
# corpus; fails if one finds a crash or a broken invariant. make fuzz-smoke is CI's short run.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZERS = kotobun_fuzz directive_fuzz settings_fuzz text_file_fuzz skimpo_fuzz
fuzz:
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DBUILD_FUZZERS=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZERS)
	sh tests/fuzz/run_fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(FUZZERS)

fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=30

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) demo
