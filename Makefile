# Entry points. Each one installs what is missing first, so a fresh Debian machine works.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
# One compiler cache for every work tree beside this one.
export CCACHE_BASEDIR ?= $(abspath $(CURDIR)/..)
CTEST_ARGS ?= --output-on-failure -j $(JOBS)

.PHONY: all deps build test test-asan test-tsan fuzz fuzz-all demo run screenshots package clean format

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest $(CTEST_ARGS)

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer (no desktop: the
# window layer has no logic to check, and Qt's own libraries are not built with the
# sanitizers, so their reports would be about Qt).
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVT_BUILD_DESKTOP=OFF -DVT_SANITIZE=address,undefined
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest $(CTEST_ARGS)

test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVT_BUILD_DESKTOP=OFF -DVT_SANITIZE=thread
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest $(CTEST_ARGS)

# One fuzz target under afl-fuzz (installed on first use), e.g. make fuzz T=detail_page
# SECONDS=600; fuzz-all runs every target for SECONDS (60 unless given). The instrumented
# build lives in $(FUZZ_BUILD), the findings in $(FUZZ_BUILD)/out/TARGET.
fuzz: deps
	@test -n "$(T)" || { echo "make fuzz T=target [SECONDS=n]; targets: $$(ls fuzz/corpus | tr '\n' ' ')"; exit 2; }
	bash fuzz/run-fuzzer.sh $(FUZZ_BUILD) $(T) $(or $(SECONDS),600)

fuzz-all: deps
	bash fuzz/run-fuzzer.sh $(FUZZ_BUILD) all $(or $(SECONDS),60)

# The whole system on the stand-ins, in one process: a title job over two list pages,
# from the bookstore's search to the items in the stand-in shop.
demo: build
	@# The stand-in refuses a few books on purpose: a partial job (exit 4) is the demo working.
	./$(BUILD)/bin/vantrell-sim demo || [ $$? -eq 4 ]

# The desktop window on the stand-ins (free local ports); they stop when the window closes.
run: build
	bash scripts/run-desktop.sh $(BUILD)

# A PNG of the main window on each tab and of the collection panel in each mode, in
# $(BUILD)/screenshots/.
screenshots: build
	cd $(BUILD) && ctest -L screenshots --output-on-failure

# A Debian package of the programs, the shipped data tree, the desktop entry and the icon,
# in $(BUILD)/package/.
package: build
	cd $(BUILD) && cpack -B package

format:
	find src sim tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
