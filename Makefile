# The two commands of a fresh machine: `make run` and `make test`.
# Each installs what is missing, configures and builds before it does its work.

BUILD_DIR ?= build
BENCH_DIR ?= build-bench
SANITIZE_DIR ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: all deps configure configure-run build test test-sanitized run bench format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null

# `make run` needs none of the tests: they are left out of its configuration.
configure-run: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-sanitized

# The function library, the client's core and widgets and their tests alone, under
# AddressSanitizer and UndefinedBehaviorSanitizer: any finding fails its test.
test-sanitized: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVIK_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@cd $(SANITIZE_DIR) && UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Builds only the two programs it runs.
run: configure-run
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target OvEngSetup OvEngConsole
	@scripts/run

# The MariaDB cases run against a private server of their own, started here and stopped
# however the run ends.
bench: deps
	@cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVIK_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS)
	@server=$(abspath $(BENCH_DIR))/mariadb-bench; \
	scripts/mariadb-test-server start $$server >/dev/null || exit 1; \
	trap 'scripts/mariadb-test-server stop '"$$server"' >/dev/null' EXIT; \
	status=0; \
	for b in $(BENCH_DIR)/bin/bench_*; do \
	  echo "== $$b"; \
	  ORVIK_MARIADB_TEST_DIR=$$server $$b --benchmark_counters_tabular=true || status=1; \
	done; \
	exit $$status

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD_DIR) $(BENCH_DIR) $(SANITIZE_DIR)
