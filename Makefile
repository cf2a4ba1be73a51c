# Two commands do all the set-up: `make demo` and `make test`.
BUILD      ?= build
BUILD_SAN  ?= build-san
JOBS       ?= $(shell nproc)
DEB_PKGS   := cmake g++ make qt6-base-dev qt6-serialport-dev libgl1-mesa-dev

.PHONY: all deps build build-san demo test bench clean

all: build

deps:
	@missing=""; for p in $(DEB_PKGS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-san: deps
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=Debug -DONDIVAR_SANITIZE=ON
	cmake --build $(BUILD_SAN) -j $(JOBS)

test: build build-san
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

bench: build
	@set -e; found=0; for b in $(BUILD)/bench/ondivar-bench-*; do \
	  [ -x "$$b" ] || continue; found=1; echo "== $$(basename $$b)"; "$$b"; \
	done; [ $$found = 1 ] || echo "no benchmark built"

demo: build
	./scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
