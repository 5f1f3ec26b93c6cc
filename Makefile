# The two commands a new user needs: `make run` and `make test`.
BUILD_DIR ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: run test build deps bench format

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/src/sweeprun

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j 2

# Speed and memory against find / mv / cp on trees of old files (see README, Performance).
bench: build
	$(BUILD_DIR)/bench/bench_run

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
