# The README's commands. `make test` and `make run` install what is missing first.
BUILD ?= build
CMAKE_ARGS ?=
JOBS ?= $(shell nproc)
DEVICE ?=

.PHONY: deps configure build test run bench clean tsan

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

run: build
	@$(BUILD)/app/tandrel $(if $(DEVICE),--device $(DEVICE),)

bench: build
	@bench/run $(BUILD)

# The threading tests under ThreadSanitizer (not part of CI).
TSAN_TESTS ?= ^(Dispatch|NSRunLoop|NSTimer|NSThread|NSNotification)
tsan:
	@$(MAKE) --no-print-directory build BUILD=build-tsan CMAKE_ARGS="-DTANDREL_TSAN=ON -DTANDREL_BENCH=OFF"
	@cd build-tsan && ctest --output-on-failure -j $(JOBS) --timeout 600 -R '$(TSAN_TESTS)'

clean:
	rm -rf $(BUILD)
