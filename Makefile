# The README's commands. `make test` and `make run` install what is missing first.
BUILD ?= build
CMAKE_ARGS ?=
JOBS ?= $(shell nproc)
DEVICE ?=

.PHONY: deps configure build test run bench fuzz fuzz-foundation fuzz-app tsan clean

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

# The crash report decoder's fuzz target: a separate clang build with libFuzzer and AddressSanitizer,
# run for a bounded time on seeds that our own encoder writes. Not part of CI.
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_FLAGS = -fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer -g

# The property-list and keyed-archive readers' fuzz targets, FUZZ_TIME seconds each on seeds our
# own writers make; `make fuzz` runs them in its build after configuring it.
FOUNDATION_FUZZERS = property_list keyed_archive
fuzz-foundation:
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FOUNDATION_FUZZERS:%=%_fuzzer) foundation_fuzz_seeds
	@mkdir -p $(FOUNDATION_FUZZERS:%=$(FUZZ_BUILD)/corpus/%)
	@$(FUZZ_BUILD)/platform/foundation/foundation_fuzz_seeds $(FOUNDATION_FUZZERS:%=$(FUZZ_BUILD)/corpus/%)
	@for fuzzer in $(FOUNDATION_FUZZERS); do \
		ASAN_OPTIONS=detect_leaks=1 $(FUZZ_BUILD)/platform/foundation/$${fuzzer}_fuzzer \
			-max_total_time=$(FUZZ_TIME) -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$fuzzer || exit 1; \
	done

# The video-page parser's and the version service's fuzz targets, the same way, on seeds made of the
# replies the app's tests serve.
APP_FUZZERS = video_information version_reply
fuzz-app:
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(APP_FUZZERS:%=%_fuzzer) app_fuzz_seeds
	@mkdir -p $(APP_FUZZERS:%=$(FUZZ_BUILD)/corpus/%)
	@$(FUZZ_BUILD)/app/support/app_fuzz_seeds $(APP_FUZZERS:%=$(FUZZ_BUILD)/corpus/%)
	@for fuzzer in $(APP_FUZZERS); do \
		ASAN_OPTIONS=detect_leaks=1 $(FUZZ_BUILD)/app/support/$${fuzzer}_fuzzer \
			-max_total_time=$(FUZZ_TIME) -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$fuzzer || exit 1; \
	done

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DTANDREL_FUZZ=ON -DTANDREL_BENCH=OFF \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" >/dev/null
	@$(MAKE) --no-print-directory fuzz-foundation
	@$(MAKE) --no-print-directory fuzz-app
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target vdcrash_report_fuzzer vdcrash_report_seeds
	@mkdir -p $(FUZZ_BUILD)/corpus/crash_report
	@$(FUZZ_BUILD)/sdk/crashreporter/vdcrash_report_seeds $(FUZZ_BUILD)/corpus/crash_report
	@ASAN_OPTIONS=detect_leaks=1 $(FUZZ_BUILD)/sdk/crashreporter/vdcrash_report_fuzzer \
		-max_len=65536 -max_total_time=$(FUZZ_TIME) -print_final_stats=1 $(FUZZ_BUILD)/corpus/crash_report
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target vuderu_ad_response_fuzzer vuderu_sdk_log_response_fuzzer vuderu_ad_protocol_seeds
	@mkdir -p $(FUZZ_BUILD)/corpus/ad_response $(FUZZ_BUILD)/corpus/sdk_log_response
	@$(FUZZ_BUILD)/sdk/ads/vuderu_ad_protocol_seeds $(FUZZ_BUILD)/corpus/ad_response $(FUZZ_BUILD)/corpus/sdk_log_response
	@for target in ad_response:vuderu_ad_response_fuzzer sdk_log_response:vuderu_sdk_log_response_fuzzer; do \
		ASAN_OPTIONS=detect_leaks=1 $(FUZZ_BUILD)/sdk/ads/$${target#*:} -max_len=65536 -max_total_time=$(FUZZ_TIME) \
			-print_final_stats=1 $(FUZZ_BUILD)/corpus/$${target%%:*} || exit 1; done

# The threading tests under ThreadSanitizer (not part of CI).
TSAN_TESTS ?= ^(Dispatch|NSRunLoop|NSTimer|NSThread|NSNotification|NSURLConnection|NSOperation|OperationTest|NKHTTPRequestOperation|NKOperationCoding|AsyncLinkedList)
tsan:
	@$(MAKE) --no-print-directory build BUILD=build-tsan CMAKE_ARGS="-DTANDREL_TSAN=ON -DTANDREL_BENCH=OFF"
	@cd build-tsan && ctest --output-on-failure -j $(JOBS) --timeout 600 -R '$(TSAN_TESTS)'

clean:
	rm -rf $(BUILD)
