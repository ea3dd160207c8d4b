# The two commands of the README: `make run` and `make test`. Both install
# what they need first.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
PORT ?= 8420

.PHONY: all deps configure build run test bench sanitize clean

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

# Every test again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	@$(MAKE) test BUILD_DIR=build-sanitize CMAKE_FLAGS="-DKORVEL_SANITIZE=ON -DKORVEL_BENCH=OFF"

clean:
	rm -rf $(BUILD_DIR) build-sanitize
