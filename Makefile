# Quick start: `make run` (build, then the program or the demo), `make test` (every test).
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
# `make fuzz` runs each fuzz target this long; `make test` 30 seconds each.
FUZZ_SECONDS ?= 300
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run run-gui run-headless test test-main test-sanitize test-fuzz fuzz fuzz-build bench clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The window program when a display is there; otherwise archives
# examples/sample/ with `ivqa create`, restores it by running the archive in
# console mode and compares the trees.
run: build
	@scripts/run-gui $(BUILD_DIR) || { status=$$?; [ $$status -eq 3 ] || exit $$status; \
	    $(MAKE) --no-print-directory run-headless; }

run-gui: build
	scripts/run-gui $(BUILD_DIR)

run-headless: build
	scripts/demo $(BUILD_DIR)

# Every suite, then the library and module suites again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target
# for 30 seconds.
test: test-main test-sanitize test-fuzz

test-main: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DIVQA_SANITIZE=ON \
	      -DIVQA_BUILD_FRONTEND=OFF -DIVQA_BUILD_BENCHMARKS=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS) -LE nosan

# The fuzz targets only, in a clang build of their own.
fuzz-build: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIVQA_BUILD_FUZZERS=ON -DIVQA_BUILD_FRONTEND=OFF \
	      -DIVQA_BUILD_BENCHMARKS=OFF -DBUILD_TESTING=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzzers

fuzz: fuzz-build
	fuzz/run_fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

test-fuzz: fuzz-build
	fuzz/run_fuzzers.sh $(FUZZ_DIR) 30

# The micro benchmarks, then bench/e2e against tar/gzip/openssl and 7z on the
# mixed corpus, which is assembled once into $(BUILD_DIR)/e2e-corpus, and on
# 100,000 files of a few bytes (what each file costs), made once likewise.
bench: build
	@for b in $(BUILD_DIR)/bench-bin/*_bench; do \
	    [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done
	@[ -d $(BUILD_DIR)/e2e-corpus ] || bench/make-corpus $(BUILD_DIR)/e2e-corpus
	@echo "== bench/e2e"; bench/e2e --build $(BUILD_DIR) --corpus $(BUILD_DIR)/e2e-corpus
	@[ -d $(BUILD_DIR)/e2e-small-files ] || bench/make-corpus --small-files 100000 $(BUILD_DIR)/e2e-small-files
	@echo "== bench/e2e, small files"; bench/e2e --build $(BUILD_DIR) --corpus $(BUILD_DIR)/e2e-small-files

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
