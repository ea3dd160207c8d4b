# The two commands of the README: `make run` and `make test`. Both install
# what they need first.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
PORT ?= 8420

.PHONY: all deps configure build run test bench sanitize tsan clean soak faults attack

all: build

deps:
	@./scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@./scripts/run.sh $(BUILD_DIR) $(PORT)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done
	@echo "== bench/bench_texture_click.mjs"; KORVEL_BUILD_DIR=$(abspath $(BUILD_DIR)) node bench/bench_texture_click.mjs
	@echo "== bench/bench_model_first_frame.mjs"; KORVEL_BUILD_DIR=$(abspath $(BUILD_DIR)) node bench/bench_model_first_frame.mjs

# The full forms of the stress runs; each prints its figures.
STRESS = cd tests/stress && KORVEL_BUILD_DIR=$(abspath $(BUILD_DIR)) nice -n 15 node
soak: build
	@$(STRESS) soak.mjs 1000 50

faults: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -R 'ListSave|ReplaceEntry'
	@$(STRESS) replace_kills.mjs 200

attack: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -R 'ServerGuards|ConnectionWatch'
	@$(STRESS) attack.mjs 10

# Every test again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	@$(MAKE) test BUILD_DIR=build-sanitize CMAKE_FLAGS="-DKORVEL_SANITIZE=ON -DKORVEL_BENCH=OFF"

# The tests that run threads beside the UI thread (the model viewer, the
# display server's workers, modal waits from other threads) under
# ThreadSanitizer; a reported race fails the run. tsan.supp holds the
# suppressions, each for third-party code and with its reason.
TSAN_TESTS = korvel_viewer_tests korvel_ui_tests korvel_platform_display_tests korvel_platform_win_tests
tsan:
	@$(MAKE) configure BUILD_DIR=build-tsan CMAKE_FLAGS="-DKORVEL_TSAN=ON -DKORVEL_BENCH=OFF"
	@cmake --build build-tsan -j$(JOBS) --target $(TSAN_TESTS) korvel_samples
	@for t in $(TSAN_TESTS); do echo "== $$t under ThreadSanitizer"; \
	  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(abspath tsan.supp)" \
	    build-tsan/tests/$$t || exit 1; done

clean:
	rm -rf $(BUILD_DIR) build-sanitize build-tsan
