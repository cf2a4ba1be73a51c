# Two commands do all the set-up: `make demo` and `make test`.
BUILD      ?= build
BUILD_SAN  ?= build-san
BUILD_FUZZ ?= build-fuzz
# Fuzzing: seconds per target for `make fuzz`, and for the short run of `make test`.
FUZZ_SECONDS ?= 120
FUZZ_QUICK   ?= 3
FUZZERS    := parsenumber lecteur_hewlett lecteur_agilent lecteur_sefram lecteur_gds800 \
              lecteur_fi lecteur_gds2000 lecteur_rigol \
              bloc_rigol bloc_siglent visa_nom lien_trames lien_commande windows1252
FUZZERS    += lecteur_bode_entetefixe lecteur_bode_bloccompte
FUZZERS    += config_od
JOBS       ?= $(shell nproc)
DEB_PKGS   := cmake g++ make qt6-base-dev qt6-serialport-dev libgl1-mesa-dev clang \
              fonts-crosextra-carlito xvfb xauth dpkg-dev file
# Instrument of `make demo`: a serial model of ondivar-sim or DS1000E, DS1000Z, SDS1000X-E (network).
SIM        ?= 54622D
# Further options of the serial simulator (e.g. "--filtre 1000 --balayage 100:10000:60:log:20 --autoset").
SIM_OPTIONS ?=
# Programmable generator of `make demo` for the sweep (scpi, rigol, siglent, keysight, feeltech).
GEN        ?=
# Where `make install` puts the program (the Debian packages use /usr).
PREFIX     ?= /usr/local

.PHONY: all deps build build-san build-fuzz fuzz fuzz-run demo test bench package install clean

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

test: build build-san build-fuzz
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	cd $(BUILD_SAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory fuzz-run FUZZ_SECONDS=$(FUZZ_QUICK)

# libFuzzer targets under AddressSanitizer and UndefinedBehaviorSanitizer (clang, own build).
build-fuzz: deps
	cmake -S fuzz -B $(BUILD_FUZZ) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

fuzz: build-fuzz
	$(MAKE) --no-print-directory fuzz-run

fuzz-run:
	@for f in $(FUZZERS); do \
	  mkdir -p $(BUILD_FUZZ)/corpus/$$f; log=$(BUILD_FUZZ)/fuzz_$$f.log; \
	  if ! UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 $(BUILD_FUZZ)/fuzz_$$f -max_total_time=$(FUZZ_SECONDS) \
	      -print_final_stats=0 -artifact_prefix=$(BUILD_FUZZ)/ $(BUILD_FUZZ)/corpus/$$f fuzz/seeds/$${f#lecteur_} \
	      > $$log 2>&1; then \
	    tail -n 40 $$log; echo "fuzz_$$f: failure (input saved in $(BUILD_FUZZ)/)"; exit 1; \
	  fi; \
	  echo "fuzz_$$f: $$(grep '^Done' $$log)"; \
	done

bench: build
	@set -e; found=0; for b in $(BUILD)/bench/ondivar-bench-*; do \
	  [ -f "$$b" ] && [ -x "$$b" ] || continue; found=1; echo "== $$(basename $$b)"; "$$b"; \
	done; [ $$found = 1 ] || echo "no benchmark built"

demo: build
	GEN=$(GEN) ./scripts/demo.sh $(BUILD) $(SIM) $(SIM_OPTIONS)

# Debian packages build/ondivar_<version>_<arch>.deb and build/ondivar-sim_<version>_<arch>.deb.
package: build
	cmake --build $(BUILD) --target package

# The same tree as the packages, without a package: make install PREFIX=/opt/ondivar
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)
