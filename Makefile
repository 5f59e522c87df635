# Marrowdale: all set-up and every routine task. `make run` and `make test`
# install what is missing (Debian, as root), build and go.

PACKAGES := cmake ninja-build g++ python3 pkg-config \
            libgtest-dev libbenchmark-dev libboost-graph-dev libexpat1-dev zlib1g-dev \
            libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev libepoxy-dev libegl-mesa0 libgl1-mesa-dri libpng-dev \
            libfreetype-dev fonts-dejavu-core \
            sox libsox-fmt-mp3 xvfb
# Only the fuzz targets need clang and its fuzzing runtime; only the
# formatting check needs clang-format.
FUZZ_PACKAGES   := clang libclang-rt-dev
FORMAT_PACKAGES := clang-format

BUILD        ?= build
SAN_BUILD    ?= build-asan
FUZZ_SECONDS ?= 30
JOBS         ?= $(shell nproc)
GAMEDATA     := gamedata
# Extra CMake settings for every build, e.g. CMAKE_ARGS=-DMD_WERROR=ON.
CMAKE_ARGS   ?=

.PHONY: all deps deps-fuzz deps-format configure build test test-sanitize run gamedata bench fuzz \
        format format-check clean

all: build

# Installs only the packages that are missing and does nothing when all are
# there; installing needs root, and says so rather than failing on apt.
define install_missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" -ne 0 ]; then \
	    echo "make: missing packages:$$missing"; \
	    echo "make: installing them needs root: run 'sudo make $@' (or install them yourself), then again."; \
	    exit 1; \
	  fi; \
	  echo "Installing:$$missing"; \
	  export DEBIAN_FRONTEND=noninteractive; \
	  apt-get update -qq && apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

deps-fuzz:
	$(call install_missing,$(PACKAGES) $(FUZZ_PACKAGES))

deps-format:
	$(call install_missing,$(FORMAT_PACKAGES))

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer, built
# with clang together with the fuzz targets (one build serves both).
SAN_CONFIGURE = CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DMD_SANITIZE=ON -DMD_FUZZ=ON -DMD_BENCH=OFF $(CMAKE_ARGS)
test-sanitize: deps-fuzz
	$(SAN_CONFIGURE)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

# Until the screens exist the game runs headless: a new game on a generated
# map of the default data runs for one game year (36000 frames of 25 ms, 9000
# date steps) and is saved; with a display the engine's test scene opens in a
# window. Builds only what it runs.
RUN_TARGETS := marrowdale
RUN_SAVE    ?= save/run.mds
RUN_MAP     ?= 512
RUN_SEED    ?= 1
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target $(RUN_TARGETS)
	./$(BUILD)/marrowdale --headless --new --generate $(RUN_MAP) --seed $(RUN_SEED) --ticks 36000 \
	  --data $(GAMEDATA) --save $(RUN_SAVE)
	@echo "The year's game is saved in $(RUN_SAVE); load it with ./$(BUILD)/marrowdale --load $(RUN_SAVE)"
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then ./$(BUILD)/marrowdale --view --load $(RUN_SAVE) --data $(GAMEDATA); \
	  else echo "No display: the world opens with ./$(BUILD)/marrowdale --view --load $(RUN_SAVE)"; fi

# Rewrites the default database in its canonical form after a hand edit.
gamedata: configure
	cmake --build $(BUILD) -j $(JOBS) --target mdtool
	./$(BUILD)/mdtool db roundtrip $(GAMEDATA)/config/MDConfig.gen $(GAMEDATA)/config/MDConfig.gen

bench: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMD_BENCH=ON $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

# Runs every fuzz target for FUZZ_SECONDS on its seed corpus; findings go to
# fuzz/findings/ and fail the run.
fuzz: deps-fuzz
	$(SAN_CONFIGURE)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	@bash tools/fuzz_all.sh $(SAN_BUILD) $(FUZZ_SECONDS) $(JOBS)

format: deps-format
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, naming the files, when a tracked source is not formatted.
format-check: deps-format
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
