# The front door: `make demo` runs the main job, `make test` runs every test.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=
WERROR     ?= ON
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 60

.PHONY: all deps build demo test test-unit test-asan test-browser bench bench-serve bench-broadcast fuzz install lint clean snapshots

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCORVLIN_WERROR=$(WERROR) $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Renders the built-in default activity through the extension process, as text, and writes
# its live page and the replay page of an example delivery's remote updates.
DEMO_PUSH_HEADERS = -H 'apns-push-type: liveactivity' -H 'apns-topic: com.corvlin.app.push-type.liveactivity'
DEMO_PUSH_URL = http://127.0.0.1:8443/3/device/0a1b

demo: build
	$(BUILD)/bin/corvlin-host render
	$(BUILD)/bin/corvlin-host render --format html --out $(BUILD)/preview.html
	$(BUILD)/bin/corvlin-host render --format png --out $(BUILD)/snapshots
	$(BUILD)/bin/corvlin-host replay tests/data/timelines/delivery.jsonl --format html \
	  --out $(BUILD)/replay.html
	@echo "Open $(abspath $(BUILD)/preview.html) in a browser for the live preview."
	@echo "Open $(abspath $(BUILD)/replay.html) for the replay of an example delivery."
	@echo "The default activity's snapshots (PNG, 3x) are in $(abspath $(BUILD)/snapshots)/."
	@echo
	@echo "To see pushes land on a live page, start the push endpoint and open the address it prints:"
	@echo "  $(BUILD)/bin/corvlin-host serve --port 8443"
	@echo "then send the example delivery's pushes, one a line:"
	@echo "  while IFS= read -r push; do curl -s $(DEMO_PUSH_HEADERS) --data-binary \"\$$push\" $(DEMO_PUSH_URL); echo; done < tests/data/timelines/delivery.jsonl"
	@echo "or one push:"
	@echo "  curl -i $(DEMO_PUSH_HEADERS) --data-binary '{\"aps\":{\"event\":\"update\",\"timestamp\":'\$$(date +%s)',\"content-state\":{\"title\":\"Order 42 is on its way\",\"tone\":\"warning\"}}}' $(DEMO_PUSH_URL)"
	@echo
	@echo "Push clients speak HTTP/2 over TLS; serve --tls, started here for one push and stopped:"
	scripts/demo-tls.sh $(BUILD)

test: test-unit test-browser test-asan

# Rewrites the golden snapshots in tests/data/snapshots/ after a change meant to alter them.
snapshots: build
	scripts/snapshots.sh $(BUILD) --update

test-unit: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-browser: build
	tests/browser/run.sh $(BUILD)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCORVLIN_SANITIZE=ON -DCORVLIN_WERROR=$(WERROR) \
	  -DCORVLIN_BUILD_BENCH=OFF $(CMAKE_ARGS)

test-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS)

# Before and after: BASELINE is the commit the figures are compared with (empty: none).
BASELINE       ?= 9278ab1
BASELINE_BUILD ?= build-baseline
bench: build
ifeq ($(strip $(BASELINE)),)
	scripts/bench.sh $(BUILD)
else
	scripts/build-baseline.sh $(BASELINE) $(BASELINE_BUILD)
	scripts/bench.sh $(BUILD) $(BASELINE_BUILD)/build
endif

# Loads corvlin-host serve on loopback with h2load and times each push to its event.
bench-serve: build
	scripts/bench-serve.sh $(BUILD)

# Broadcasts: the board alone with 1,000 and 10,000 local subscribers (when the benchmarks are
# built), then broadcasts per second over h2 with TLS to 1,000.
bench-broadcast: build
	scripts/bench-broadcast.sh $(BUILD)

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCORVLIN_BUILD_FUZZ=ON -DCORVLIN_SANITIZE=ON -DCORVLIN_BUILD_TESTS=OFF -DCORVLIN_WERROR=$(WERROR) \
	  -DCORVLIN_BUILD_BENCH=OFF $(CMAKE_ARGS)

# Runs each fuzz target for FUZZ_SECONDS under AddressSanitizer and UndefinedBehaviorSanitizer.
fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Installs both programs, the public headers and the CMake package under PREFIX.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Formatting (clang-format) and static analysis (clang-tidy with .clang-tidy) of the sources.
lint: build
	scripts/lint.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
