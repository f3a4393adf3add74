# Quick start: `make run` (build, then the demo), `make test` (every test).
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run run-gui run-headless test test-main test-sanitize bench clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The window program when a display is there, the headless demo otherwise.
run: build
	@scripts/run-gui $(BUILD_DIR) || { status=$$?; [ $$status -eq 3 ] || exit $$status; \
	    $(MAKE) --no-print-directory run-headless; }

run-gui: build
	scripts/run-gui $(BUILD_DIR)

# The demo for machines without a display comes with the command-line
# program.
run-headless: build
	@if [ -x scripts/run-demo ]; then scripts/run-demo $(BUILD_DIR); \
	else echo "make run: no display, and the headless demo is not part of this tree yet" >&2; exit 1; fi

# Every suite, then the library and module suites again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
test: test-main test-sanitize

test-main: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DIVQA_SANITIZE=ON \
	      -DIVQA_BUILD_FRONTEND=OFF -DIVQA_BUILD_BENCHMARKS=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS) -LE nosan

bench: build
	@for b in $(BUILD_DIR)/bench-bin/*_bench; do \
	    [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
