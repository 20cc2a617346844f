# The README's commands. `make test` and `make run` install what is missing first.
BUILD ?= build
CMAKE_ARGS ?=
JOBS ?= $(shell nproc)
DEVICE ?=

.PHONY: deps configure build test run bench fuzz tsan clean

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

# Fuzzing: a separate clang build with libFuzzer and AddressSanitizer. Each parser of outside input
# has a fuzz target, run FUZZ_TIME seconds on seeds that our own writers (or the tests' servers)
# make. Not part of CI.
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_FLAGS = -fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer -g

# fuzz_group(FOLDER,SEED_TOOL,FUZZERS): builds FOLDER's fuzzers (NAME_fuzzer) and its seed tool,
# which writes one corpus folder per fuzzer in the order given, then runs each fuzzer in turn.
define fuzz_group
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(3:%=%_fuzzer) $(2)
	@mkdir -p $(3:%=$(FUZZ_BUILD)/corpus/%)
	@$(FUZZ_BUILD)/$(1)/$(2) $(3:%=$(FUZZ_BUILD)/corpus/%)
	@for fuzzer in $(3); do \
		ASAN_OPTIONS=detect_leaks=1 $(FUZZ_BUILD)/$(1)/$${fuzzer}_fuzzer -max_len=65536 \
			-max_total_time=$(FUZZ_TIME) -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$fuzzer || exit 1; \
	done
endef

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DTANDREL_FUZZ=ON -DTANDREL_BENCH=OFF \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" >/dev/null
	$(call fuzz_group,platform/foundation,foundation_fuzz_seeds,property_list keyed_archive)
	$(call fuzz_group,platform/graphics,graphics_fuzz_seeds,image_data)
	$(call fuzz_group,app/support,app_fuzz_seeds,video_information version_reply)
	$(call fuzz_group,sdk/crashreporter,vdcrash_report_seeds,vdcrash_report)
	$(call fuzz_group,sdk/ads,vuderu_ad_protocol_seeds,vuderu_ad_response vuderu_sdk_log_response vuderu_vast_document)
	$(call fuzz_group,platform/web,web_fuzz_seeds,web_page)
	$(call fuzz_group,sdk/adviews,vuderu_call_seeds,vuderu_call)

# The threading tests under ThreadSanitizer (not part of CI).
TSAN_TESTS ?= ^(Dispatch|WorkerPoolTest|NSRunLoop|NSTimer|NSThread|NSNotification|NSURLConnection|NSOperation|OperationTest|NKHTTPRequestOperation|NKOperationCoding|AsyncLinkedList|NSURLSession|NKURLSessionManager|ProgressBarTest.RequestsRacing|SCNetworkReachability|VuderuDataSender|FreqCapTest.CountingWhileSaving|AdCacheTakeTest.Race|AdCacheTakeTest.AWaitingTakeChooses|AdManagerTest.Race|AdServingRoadTest|PluginManagerTest.Registrations)
tsan:
	@$(MAKE) --no-print-directory build BUILD=build-tsan CMAKE_ARGS="-DTANDREL_TSAN=ON -DTANDREL_BENCH=OFF"
	@cd build-tsan && ctest --output-on-failure -j $(JOBS) --timeout 600 -R '$(TSAN_TESTS)'

clean:
	rm -rf $(BUILD)
