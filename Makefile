# The two commands a new user needs: `make run` and `make test`.
BUILD_DIR ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

PACKAGE_DIR ?= build-deb

.PHONY: run test build deps bench format install package

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/src/sweeprun

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j 2

# Installs under /usr/local (or CMAKE_INSTALL_PREFIX at configure time); DESTDIR is honoured.
install: build
	cmake --install $(BUILD_DIR)

# The Debian package quillon_<version>_<arch>.deb, built for /usr in a tree of its own.
package: deps
	cmake -S . -B $(PACKAGE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DBUILD_TESTING=OFF
	cmake --build $(PACKAGE_DIR)
	cd $(PACKAGE_DIR) && cpack
	cp $(PACKAGE_DIR)/quillon_*.deb .

# Speed and memory against the floor, find, mv, cp, tmpreaper and systemd-tmpfiles on trees of
# old files, in RAM and on disk (see README, Performance). Only the benchmark needs tmpreaper.
bench: build
	@bash scripts/install-deps.sh tmpreaper
	$(BUILD_DIR)/bench/bench_run

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
