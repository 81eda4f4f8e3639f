# Two commands do all the set-up: `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
JOBS ?= $(shell nproc)

.PHONY: run test deps build build-release build-asan build-fuzz fuzz fuzz-smoke bench package clean format format-check

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOFFER_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

# The Release build a distribution makes, warnings as errors: at -O3 GCC warns of things the other
# builds never see. Not part of `make test`, which would then compile everything twice.
build-release: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCOFFER_WERROR=ON
	cmake --build build-release -j $(JOBS)

# The engine and its tests again, under AddressSanitizer and UndefinedBehaviorSanitizer.
build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCOFFER_SANITIZE=ON -DCOFFER_ENGINE_ONLY=ON -DCOFFER_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

FUZZ_TARGETS = fuzz_engine fuzz_item_lookup fuzz_web_text fuzz_sort_cells fuzz_ledger_paste fuzz_ledger_file fuzz_password_text \
	fuzz_cookie_file fuzz_entry_cells fuzz_alert_rule

build-fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCOFFER_FUZZ=ON -DCOFFER_ENGINE_ONLY=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)

# The embedded browser refuses to start as root unless its sandbox is off.
WEBENGINE_ENV = $(if $(filter 0,$(shell id -u)),QTWEBENGINE_DISABLE_SANDBOX=1)

run: build
	$(WEBENGINE_ENV) $(BUILD)/src/app/coffer

# The Debian package of the build, coffer_VERSION_ARCH.deb, copied into this folder.
package: build
	rm -f $(BUILD)/coffer_*.deb
	cd $(BUILD) && cpack -G DEB
	cp $(BUILD)/coffer_*.deb .

# Every C++ file of the project, as clang-format and the repository's .clang-format want it.
FORMAT_FILES = $(sort $(shell find src tests bench fuzz -name '*.cpp' -o -name '*.h'))

format: deps
	clang-format -i $(FORMAT_FILES)

format-check: deps
	clang-format --dry-run --Werror $(FORMAT_FILES)

test: format-check build build-asan
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) fuzz-smoke

# `make fuzz TARGET=fuzz_engine` runs one target until stopped; `make fuzz` runs every target in turn,
# each for FUZZ_SECONDS. New inputs go to $(FUZZ_BUILD)/corpus/TARGET; the seeds in fuzz/corpus stay as
# they are. FUZZ_ARGS passes further libFuzzer options. A small allocator quarantine keeps a target's
# memory near 80 MB instead of 300-500 MB, and the sanitizer off fresh pages.
fuzz: build-fuzz
	@for target in $(if $(TARGET),$(TARGET),$(FUZZ_TARGETS)); do \
		mkdir -p $(FUZZ_BUILD)/corpus/$$target && \
		ASAN_OPTIONS=quarantine_size_mb=16 $(FUZZ_BUILD)/fuzz/$$target $(FUZZ_BUILD)/corpus/$$target fuzz/corpus/$$target \
			-dict=fuzz/$$target.dict -rss_limit_mb=2048 \
			$(if $(TARGET),,-max_total_time=$(FUZZ_SECONDS)) $(FUZZ_ARGS) || exit 1; \
	done

# A few seconds of each target, all together well within a minute.
fuzz-smoke:
	$(MAKE) fuzz FUZZ_SECONDS=10

bench: build
	$(BUILD)/bench/bench_analysis
	$(BUILD)/bench/bench_ledger
	$(BUILD)/bench/bench_entries
	$(BUILD)/bench/bench_upgrade
	$(BUILD)/bench/bench_pg_ledger
	$(BUILD)/bench/bench_fetch
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/bench_timeline
	QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
		$(BUILD)/bench/window_bench
	QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
		$(BUILD)/bench/watch_bench
	QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
		$(BUILD)/bench/ledger_add_bench
	QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" \
		$(BUILD)/bench/ledger_change_bench

clean:
	rm -rf $(BUILD) build-release $(ASAN_BUILD) $(FUZZ_BUILD)
