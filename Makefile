# Two commands do all the set-up: `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
JOBS ?= $(shell nproc)

.PHONY: run test deps build build-asan build-fuzz fuzz fuzz-smoke bench clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOFFER_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

# The engine and its tests again, under AddressSanitizer and UndefinedBehaviorSanitizer.
build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCOFFER_SANITIZE=ON -DCOFFER_ENGINE_ONLY=ON -DCOFFER_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

build-fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCOFFER_FUZZ=ON -DCOFFER_ENGINE_ONLY=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_analysis

# The embedded browser refuses to start as root unless its sandbox is off.
WEBENGINE_ENV = $(if $(filter 0,$(shell id -u)),QTWEBENGINE_DISABLE_SANDBOX=1)

run: build
	$(WEBENGINE_ENV) $(BUILD)/src/app/coffer

test: build build-asan
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) fuzz-smoke

# Runs the fuzzer until stopped (or for FUZZ_SECONDS when called by fuzz-smoke).
fuzz: build-fuzz
	mkdir -p fuzz-corpus && cp -n examples/*.xml fuzz-corpus/ 2>/dev/null || true
	$(FUZZ_BUILD)/fuzz/fuzz_analysis fuzz-corpus $(FUZZ_ARGS)

fuzz-smoke:
	$(MAKE) fuzz FUZZ_ARGS="-max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048"

bench: build
	$(BUILD)/bench/bench_analysis
	QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
		$(BUILD)/bench/window_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
