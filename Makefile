# Quellor: `make run` and `make test` do the whole set-up on a fresh Debian machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: all deps build build-asan build-tsan tsan test run bench fuzz screenshot clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# Everything and every test under AddressSanitizer and UndefinedBehaviorSanitizer: the core,
# playback, the graph, the desktop program and the command-line tool.
build-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DQUELLOR_CORE_ONLY=OFF \
	    -DQUELLOR_SANITIZE=ON -DQUELLOR_BUILD_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The core and playback libraries, the command-line tool and their tests under
# ThreadSanitizer: the batch worker, the player thread and the synthesizer's audio thread.
build-tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELLOR_TSAN=ON \
	    -DQUELLOR_BUILD_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS)

tsan: build-tsan
	cd $(TSAN_BUILD) && \
	    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	    ctest --output-on-failure -j $(JOBS)

test: build build-asan build-tsan
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	    UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)
	$(MAKE) tsan

run: build
	@if [ -x $(BUILD)/app/quellor ]; then \
	    $(BUILD)/app/quellor examples/demo.mid; \
	else \
	    $(BUILD)/cli/quellor-cli dump examples/demo.mid; \
	fi

# Pictures of the main window with the demo song, its Polyphony window and the Batch
# Processor after a run over the fuzzer's seed songs, drawn offscreen with a settings store of
# their own (the user's settings are not touched) and no sound card needed; copied into docs/.
SHOTS := $(BUILD)/screenshots
screenshot: build
	@mkdir -p $(SHOTS)
	@tmp=$$(mktemp -d) && \
	    XDG_CONFIG_HOME=$$tmp QT_QPA_PLATFORM=offscreen QUELLOR_AUDIO_DRIVER=file \
	    $(BUILD)/app/quellor --screenshot $(SHOTS)/main-window.png \
	        --screenshot-polyphony $(SHOTS)/polyphony-window.png \
	        --screenshot-batch $(SHOTS)/batch-processor.png --batch-folder fuzz/seeds \
	        examples/demo.mid; \
	    status=$$?; rm -rf $$tmp; exit $$status
	cp $(SHOTS)/main-window.png $(SHOTS)/polyphony-window.png $(SHOTS)/batch-processor.png docs/
	@echo "Wrote $(SHOTS)/*.png and copied them into docs/"

bench: build
	@for b in $(BUILD)/bench/quellor_bench*; do [ -x "$$b" ] && "$$b"; done

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DQUELLOR_CORE_ONLY=ON -DQUELLOR_BUILD_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_reader
	mkdir -p fuzz-corpus/reader
	cp -n examples/demo.mid fuzz-corpus/reader/ 2>/dev/null || true
	$(FUZZ_BUILD)/fuzz/fuzz_reader fuzz-corpus/reader fuzz/seeds -max_total_time=$(FUZZ_SECONDS) \
	    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=fuzz-corpus/

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
