# The two commands: "make run" runs the main job, "make test" builds everything
# from scratch and runs every test (plain, under ASan+UBSan, the concurrency
# tests under TSan), cross-builds the Windows executable, runs it under Wine and
# gives every fuzz target a short run. "make fuzz" runs every fuzz target for
# FUZZ_SECONDS each; "make bench" prints the benchmarks against their floors.
.PHONY: run test bench fuzz deps build clean

FUZZ_SECONDS ?= 60

deps:
	@tools/scripts/install-deps.sh

build: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux

run: build
	tools/scripts/run-demo.sh build

# Every benchmark, and one Markdown table of the figures against their floors.
bench: build
	tools/scripts/run-benchmarks.sh build

test: deps
	rm -rf build build-asan build-tsan build-windows build-fuzz
	cmake --preset linux >/dev/null
	cmake --build --preset linux
	ctest --preset linux
	cmake --preset linux-asan >/dev/null
	cmake --build --preset linux-asan
	ctest --preset linux-asan
	cmake --preset linux-tsan >/dev/null
	cmake --build --preset linux-tsan
	ctest --preset linux-tsan
	cmake --preset windows >/dev/null
	cmake --build --preset windows
	tools/scripts/check-windows-build.sh build-windows/bin/QuillNotification.exe
	tools/scripts/wine-lane.sh build-windows
	tools/scripts/fuzz.sh 10
	@echo "make test: every suite passed"

fuzz: deps
	tools/scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-tsan build-windows build-fuzz
