# Zorvane: the two commands a fresh Debian 12 machine needs are `make run` and `make test`.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc)

.PHONY: all deps build run test sanitize bench clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The display is checked before anything is installed or built, and only the program is built.
run:
	@scripts/run.sh --check $(BUILD_DIR)/src/zorvane
	@$(MAKE) --no-print-directory deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target zorvane
	@scripts/run.sh $(BUILD_DIR)/src/zorvane

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer in a folder of its
# own; any finding fails the test that met it.
sanitize: deps
	@scripts/sanitize.sh $(SANITIZE_DIR) $(JOBS)

bench: build
	$(BUILD_DIR)/bench/bench_receive
	$(BUILD_DIR)/bench/bench_transmit

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
