# Zorvane: the two commands a fresh Debian 12 machine needs are `make run` and `make test`.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc)

.PHONY: all deps build run test sanitize bench fuzz clean

all: build

# CMAKE_ARGS: options for a new build folder, e.g. -DBUILD_TESTING=OFF.
CMAKE_ARGS ?=

# The packages are checked once, and again only when the list of them changed.
DEPS_STAMP := $(BUILD_DIR)/.packages-checked
deps: $(DEPS_STAMP)

$(DEPS_STAMP): scripts/install-deps.sh
	@scripts/install-deps.sh
	@mkdir -p $(BUILD_DIR) && touch $@

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_ARGS)

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The display is checked before anything is installed or built, and only the program and the
# module simulator are built.
run:
	@scripts/run.sh --check $(BUILD_DIR)/src/zorvane
	@$(MAKE) --no-print-directory deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target zorvane zorvane-sim
	@scripts/run.sh $(BUILD_DIR)/src/zorvane $(BUILD_DIR)/tools/sim/zorvane-sim

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer in a folder of its
# own; any finding fails the test that met it.
sanitize: deps
	@scripts/sanitize.sh $(SANITIZE_DIR) $(JOBS)

bench: build
	$(BUILD_DIR)/bench/bench_receive
	$(BUILD_DIR)/bench/bench_transmit
	xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD_DIR)/bench/bench_idle
	$(BUILD_DIR)/bench/bench_bgapi_decode
	$(BUILD_DIR)/bench/bench_log
	$(BUILD_DIR)/bench/bench_bgapi_flood
	$(BUILD_DIR)/bench/bench_settings_load
	$(BUILD_DIR)/bench/bench_network_echo
	$(BUILD_DIR)/bench/bench_network_burst
	$(BUILD_DIR)/bench/bench_file_send
	$(BUILD_DIR)/bench/bench_find
	$(BUILD_DIR)/bench/bench_memory
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/bench_plot

# The decoders' fuzz targets (BGAPI, then the network port's telnet codec), in their own build
# folder with clang and the sanitizers; not part of `make test`. FUZZ_SECONDS sets how long
# each runs; the corpora they grow stay in that folder.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 600
fuzz:
	@scripts/install-deps.sh clang libclang-rt-14-dev
	cmake -S fuzz -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/fuzz_bgapi_decoder -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
		$(FUZZ_DIR)/corpus fuzz/seeds
	mkdir -p $(FUZZ_DIR)/corpus-rfc2217
	$(FUZZ_DIR)/fuzz_rfc2217_codec -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
		$(FUZZ_DIR)/corpus-rfc2217 fuzz/seeds-rfc2217

# The README's pictures in docs/: the program in a virtual display against the module
# simulator, driven as the end-to-end tests drive it, each window cut out of a screen dump.
.PHONY: screenshots
screenshots: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS) --target zorvane zorvane-sim
	xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- /usr/bin/python3 \
		scripts/screenshots.py $(BUILD_DIR)/src/zorvane $(BUILD_DIR)/tools/sim/zorvane-sim docs

# The Debian package, built with CPack into the build folder.
.PHONY: package
package: build
	cmake --build $(BUILD_DIR) --target package

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)
