# Thin front end over CMake. `make` builds into build/, `make test` builds and runs the suite.
# SANITIZE=address,undefined or SANITIZE=thread builds a separate tree with those sanitizers.
SANITIZE ?=
ifeq ($(SANITIZE),)
BUILD ?= build
else
BUILD ?= build-$(subst $(comma),-,$(SANITIZE))
endif
comma := ,
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap configure build test demo clean

all: build

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE="$(SANITIZE)" $(CMAKE_FLAGS) >/dev/null \
	  || { echo "make: cmake configure failed (see above); rerun 'cmake -S . -B $(BUILD)' to see details" >&2; exit 1; }

build: configure
	@echo "make: building in $(BUILD)/"
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@echo "make: running the test suite (ctest in $(BUILD)/)"
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build build-*
