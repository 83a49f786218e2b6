# Two entry points: `make test` and `make demo`. Each sets up what is missing
# (Debian packages, the .venv, the Python test requirements) and rebuilds only
# what changed.
SHELL := /bin/bash
VENV  := .venv
PY    := $(VENV)/bin/python
CMAKE := $(VENV)/bin/cmake
STAMP := .stamps
BUILD := build/release
ASAN  := build/asan
TSAN  := build/tsan
PYASAN := build/pyasan
ROOT314 := .cache/debian-sid
CP314 := build/cp314
JOBS  ?= $(shell nproc)
CONFIGURE = $(CMAKE) -S . -G Ninja -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV)/bin/ninja) \
            -DPython_EXECUTABLE=$(abspath $(PY)) --log-level=WARNING -Wno-unused-cli
# Extra definitions for the release build.
CMAKE_DEFINES ?=

.PHONY: test demo build module cpp-test asan-test tsan-test py-test types asan-py py314-test bench clean

test: cpp-test asan-test tsan-test py-test types asan-py py314-test

# The demo needs only the extension module, not the C++ tests.
demo: module
	PYTHONPATH=python $(PY) examples/quickstart.py

$(STAMP)/system: scripts/setup-system.sh
	@mkdir -p $(STAMP)
	bash scripts/setup-system.sh
	@touch $@

$(STAMP)/venv: requirements-dev.txt scripts/find-python.sh $(STAMP)/system
	@test -x $(PY) || $$(bash scripts/find-python.sh) -m venv $(VENV)
	$(PY) -m pip install -q --disable-pip-version-check -r requirements-dev.txt
	@touch $@

$(BUILD)/build.ninja: $(STAMP)/venv
	$(CONFIGURE) -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSOLIN_DEV_LAYOUT=ON $(CMAKE_DEFINES)

$(ASAN)/build.ninja: $(STAMP)/venv
	$(CONFIGURE) -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DTESSOLIN_MODULE=OFF \
	  -DTESSOLIN_SANITIZE=address,undefined

$(TSAN)/build.ninja: $(STAMP)/venv
	$(CONFIGURE) -B $(TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSOLIN_MODULE=OFF \
	  -DTESSOLIN_SANITIZE=thread

$(PYASAN)/build.ninja: $(STAMP)/venv
	$(CONFIGURE) -B $(PYASAN) -DCMAKE_BUILD_TYPE=Debug -DTESSOLIN_DEV_LAYOUT=OFF -DTESSOLIN_TESTS=OFF \
	  -DTESSOLIN_TESTING_MODULE=ON -DTESSOLIN_SANITIZE=address,undefined

build: $(BUILD)/build.ninja
	$(CMAKE) --build $(BUILD) -j $(JOBS)

module: $(BUILD)/build.ninja
	$(CMAKE) --build $(BUILD) -j $(JOBS) --target _tessolin

cpp-test: build
	cd $(BUILD) && ../../$(VENV)/bin/ctest --output-on-failure -LE threads

asan-test: $(ASAN)/build.ninja
	$(CMAKE) --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ../../$(VENV)/bin/ctest --output-on-failure -LE threads

tsan-test: $(TSAN)/build.ninja
	$(CMAKE) --build $(TSAN) -j $(JOBS)
	cd $(TSAN) && TSAN_OPTIONS=halt_on_error=1 ../../$(VENV)/bin/ctest --output-on-failure -L threads

py-test: build
	PYTHONPATH=python:$(BUILD)/testing $(PY) -m pytest -q tests

# The stubs against the built module (stubtest), and the README's and the
# examples' code under mypy --strict.
types: module
	PYTHONPATH=python $(PY) scripts/check_types.py

# The Python tests against the extension built with ASan+UBSan. CPython is not
# instrumented, so the runtimes are preloaded; its allocations would read as
# leaks, and pymalloc would hide freed objects from ASan.
asan-py: $(PYASAN)/build.ninja
	$(CMAKE) --build $(PYASAN) -j $(JOBS)
	mkdir -p $(PYASAN)/pkg/tessolin
	ln -sfn $(abspath python/tessolin)/*.py $(abspath python/tessolin/py.typed) \
	  $(abspath $(PYASAN))/ext/_tessolin*.so $(PYASAN)/pkg/tessolin/
	LD_PRELOAD=$$($(CXX) -print-file-name=libasan.so):$$($(CXX) -print-file-name=libubsan.so) \
	  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 PYTHONMALLOC=malloc \
	  PYTHONPATH=$(PYASAN)/pkg:$(PYASAN)/testing $(PY) -m pytest -q tests

# The Python tests again on CPython 3.14, from Debian unstable, in a Debian
# root made once under .cache/ (`rm -rf .cache` makes it anew). The project is
# mounted into it and py-test runs there with its own venv and build
# directory; the C++ tests are not built twice.
py314-test: $(STAMP)/venv
	bash scripts/make-debian-root.sh $(ROOT314)
	HOST_PYTHON=$(abspath $(PY)) bash scripts/in-debian-root.sh $(ROOT314) \
	  make VENV=$(CP314)/venv STAMP=$(CP314)/stamps BUILD=$(CP314)/release \
	  CMAKE_DEFINES=-DTESSOLIN_TESTS=OFF py-test

bench: build
	PYTHONPATH=python $(PY) bench/run.py $(BENCH_ARGS)

clean:
	rm -rf build $(STAMP) python/tessolin/_tessolin*.so
