# The README's commands. `make test` and `make run` install what is missing first.
BUILD ?= build
CMAKE_ARGS ?=
JOBS ?= $(shell nproc)
# Most tests spend their time waiting on the clock or on loopback peers, so twice as many run at
# once as there are cores.
TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 2 )))
CTEST_ARGS ?=
DEVICE ?=

.PHONY: deps configure build test run bench screens fuzz tsan clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(TEST_JOBS) --timeout 600 $(CTEST_ARGS)

run: build
	@$(BUILD)/app/tandrel $(if $(DEVICE),--device $(DEVICE),)

bench: build
	@bench/run $(BUILD)

# The gallery: one PNG of every screen in $(BUILD)/screens.
screens: build
	@scripts/screens $(BUILD) $(BUILD)/screens

# Fuzzing: a clang build with libFuzzer, and coverage instrumentation and AddressSanitizer everywhere.
# Each parser of outside input has a fuzz target (a CTest test labelled fuzz), run FUZZ_TIME seconds
# on seeds that our own writers (or the tests' servers) make; the corpora grow in $(FUZZ_BUILD)/corpus.
# CI builds the same targets in its sanitizer run and runs each over its seeds for a few seconds.
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_FLAGS = -fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer -g

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DTANDREL_FUZZ=ON -DTANDREL_BENCH=OFF \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$(FUZZ_FLAGS)" -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address" >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target tandrel-fuzzers
	@cd $(FUZZ_BUILD) && FUZZ_SECONDS=$(FUZZ_TIME) FUZZ_CORPUS=$(abspath $(FUZZ_BUILD))/corpus \
		ctest -L fuzz --output-on-failure --timeout $$(( $(FUZZ_TIME) + 300 ))

# The threading tests under ThreadSanitizer (not part of CI), and the end-to-end scripts, which fail
# when any process they start reports. Tests whose forked children start threads are left out:
# ThreadSanitizer does not follow a multi-threaded fork.
TSAN_TESTS ?= ^(Dispatch|WorkerPoolTest|NSRunLoop|NSTimer|NSThread|NSNotification|NSURLConnection|NSOperation|OperationTest|NKHTTPRequestOperation|NKOperationCoding|AsyncLinkedList|NSURLSession|NKURLSessionManager|NKHTTPSessionManager|NKDownloadEdge|ProgressBarTest.RequestsRacing|SCNetworkReachability|VuderuDataSender|VuderuHttpAsyncTask|VuderuNetworkUtil|FreqCapTest|AdCacheTakeTest|AdManagerTest|AssetTakeTest|AdsFacadeTest|AdServingRoadTest|PluginManagerTest|e2e\.)
tsan:
	@$(MAKE) --no-print-directory build BUILD=build-tsan CMAKE_ARGS="-DTANDREL_TSAN=ON -DTANDREL_BENCH=OFF"
	@cd build-tsan && ctest --output-on-failure -j $(JOBS) --timeout 600 -R '$(TSAN_TESTS)'

clean:
	rm -rf $(BUILD)
