# Thin front end over CMake. `make` builds into build/, `make test` builds and runs the suite.
# SANITIZE=address,undefined or SANITIZE=thread builds a separate tree with those sanitizers.
SANITIZE ?=
ifeq ($(SANITIZE),)
BUILD ?= build
else
BUILD ?= build-$(subst $(comma),-,$(SANITIZE))
endif
comma := ,
# The sub-makes cmake starts inherit this: no "Entering directory" lines between the steps.
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 20

.PHONY: all bootstrap configure build test demo clean package abi-check abi-baseline plugin

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE="$(SANITIZE)" -DTSMPIO_TESTS=ON $(CMAKE_FLAGS) >/dev/null \
	  || { echo "make: cmake configure failed (see above); rerun 'cmake -S . -B $(BUILD)' to see details" >&2; exit 1; }

build: configure
	@echo "make: building in $(BUILD)/"
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@echo "make: running the test suite (ctest in $(BUILD)/)"
ifeq ($(SANITIZE),)
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
else
	@tests/sanitizers/ctest-with-sanitizers $(BUILD) --output-on-failure -j $(JOBS)
endif

# The plug-in's whole job on a simulated HDLM host (needs root: namespaces, nodes, loop devices).
# Builds only what it runs (demo-programs); a tree configured before by make build or make test
# keeps its tests.
demo:
	@scripts/bootstrap demo
	@if [ ! -f $(BUILD)/CMakeCache.txt ]; then \
	  echo "make: configuring $(BUILD)/ without the tests (cmake)"; \
	  cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE="$(SANITIZE)" -DTSMPIO_TESTS=OFF $(CMAKE_FLAGS) >/dev/null \
	    || { echo "make: cmake configure failed (see above); rerun 'cmake -S . -B $(BUILD)' to see details" >&2; exit 1; }; \
	fi
	@echo "make: building the plug-in, the stand-ins of the host's libraries, mpio-probe and hdlm-sim"
	@cmake --build $(BUILD) -j $(JOBS) --target demo-programs
	@echo "make: running mpio-probe report on the simulated host of sim/topologies/demo.json"
	@rm -f $(BUILD)/demo.log
	@TS_DEBUG_LOG=$(abspath $(BUILD))/demo.log \
	  $(BUILD)/bin/hdlm-sim run sim/topologies/demo.json -- $(BUILD)/bin/mpio-probe report
	@echo "make: the plug-in's log lines are in $(BUILD)/demo.log"

# The plug-in alone. AGENT_SDK=DIR builds it against the agent's own SDK (DIR/include, DIR/lib) in
# that SDK's std::string ABI, into build-sdk/lib/ (BUILD=... to choose another folder).
AGENT_SDK ?=
plugin:
ifeq ($(AGENT_SDK),)
	@$(MAKE) configure
	@cmake --build $(BUILD) -j $(JOBS) --target TsMPIO_HDLM
else
	@echo "make: configuring $(SDK_BUILD)/ against the agent SDK $(AGENT_SDK)"
	@cmake -S . -B $(SDK_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTSMPIO_AGENT_SDK="$(abspath $(AGENT_SDK))" $(CMAKE_FLAGS) >/dev/null \
	  || { echo "make: the configure step refused the SDK $(AGENT_SDK) (its message is above)" >&2; exit 1; }
	@cmake --build $(SDK_BUILD) -j $(JOBS) --target TsMPIO_HDLM
	@echo "make: the plug-in for that SDK is $(SDK_BUILD)/lib/libTsMPIO_HDLM.so"
endif
SDK_BUILD = $(if $(filter command line,$(origin BUILD)),$(BUILD),build-sdk)

# The released .deb and .rpm packages of the plug-in and of the tools, into $(BUILD)/packages/:
# built in a Debian 11 root with its own g++ 10 and glibc 2.31, so that they load on the older
# hosts HDLM runs on (packaging/release-build; needs root; cached until a source changes).
package: bootstrap
	@echo "make: building the released packages in the older builder root (packaging/release-build)"
	@out="$$(packaging/release-build)" \
	  || { echo "make: the release build failed (see above); its log is in /var/cache/tsmpio-hdlm/release/" >&2; exit 1; }; \
	  mkdir -p $(BUILD)/packages && cp "$$out"/*.deb "$$out"/*.rpm $(BUILD)/packages/ \
	  && echo "make: packages in $(BUILD)/packages/:" && ls $(BUILD)/packages/

# The plug-in's host-facing ABI against the pinned abi/libTsMPIO_HDLM.abi; abi-baseline re-pins it.
abi-check: configure
	@cmake --build $(BUILD) -j $(JOBS) --target TsMPIO_HDLM
	@abi/abi-pin check $(BUILD)/lib/libTsMPIO_HDLM.so

abi-baseline: configure
	@cmake --build $(BUILD) -j $(JOBS) --target TsMPIO_HDLM
	@abi/abi-pin baseline $(BUILD)/lib/libTsMPIO_HDLM.so

clean:
	rm -rf build build-*

# Static checks: clang-format, clang-tidy (.clang-tidy) and cppcheck over our sources (scripts/lint).
.PHONY: lint
lint: configure
	@scripts/lint $(BUILD)

# libFuzzer targets, built with clang in build-fuzz/, each run for FUZZ_SECONDS seconds.
.PHONY: fuzz
fuzz: bootstrap
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) fuzz/run-all

# Benchmarks (needs root; bench/RESULTS.md records how long its run took): each entry point against its floor, scale, the
# runner's start cost against the host's size, memory; writes bench/RESULTS.md.
.PHONY: bench
bench: build
	@BUILD=$(BUILD) bench/run.sh
