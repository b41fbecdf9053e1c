# The two commands: "make run" runs the main job, "make test" builds everything
# from scratch and runs every test (plain, under ASan+UBSan, the concurrency
# tests under TSan), cross-builds the Windows executable and runs it under Wine.
.PHONY: run test bench deps build clean

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
	tools/scripts/fuzz-registrar.sh 30
	@echo "make test: every suite passed"

clean:
	rm -rf build build-asan build-tsan build-windows build-fuzz
