# Three build trees from one source tree:
#   build/host   native: portable code and its tests under ASan/UBSan, the packer
#   build/win32  i686: the shipped setup.exe, checked statically and run by
#                every Windows test under 32-bit Wine in a 32-bit prefix
#   build/win64  x86_64: the same sources, run under 64-bit Wine by the tests
SHELL := /bin/bash
JOBS ?= 2
HOST := build/host
WIN32 := build/win32
WIN64 := build/win64
PACK := $(abspath $(HOST)/tonvaro-pack)

.PHONY: all deps host win32 win64 test demo setup bench clean fuzz

all: win32 win64

deps:
	@sh tools/install-deps.sh

# A tree is configured until its configure succeeds: one that failed leaves
# a CMakeCache.txt but no Makefile.
host: deps
	@test -f $(HOST)/Makefile || cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build $(HOST) -j$(JOBS)

win32: host
	@test -f $(WIN32)/Makefile || cmake -S . -B $(WIN32) \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686.cmake -DTONVARO_PACK=$(PACK) >/dev/null
	cmake --build $(WIN32) -j$(JOBS)

win64: host
	@test -f $(WIN64)/Makefile || cmake -S . -B $(WIN64) \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake -DTONVARO_PACK=$(PACK) >/dev/null
	cmake --build $(WIN64) -j$(JOBS)

# Every test: native under sanitizers, static checks of the shipped binary,
# and the Windows tests of both trees under Wine. The two trees have
# prefixes, servers and displays of their own and wait mostly on Wine, so
# they run side by side; each tree's log is printed as it ends.
test: host win32 win64
	ctest --test-dir $(HOST) -j$(JOBS) --output-on-failure
	@echo "Windows tests of $(WIN32) (32-bit Wine) and $(WIN64) (64-bit Wine), side by side"
	@status=0; \
	for tree in $(WIN32) $(WIN64); do \
	    ( ctest --test-dir $$tree --output-on-failure > $$tree/ctest.log 2>&1; \
	      echo $$? > $$tree/ctest.status; flock build cat $$tree/ctest.log ) & \
	done; \
	wait; \
	for tree in $(WIN32) $(WIN64); do \
	    [ "$$(cat $$tree/ctest.status)" = 0 ] || { echo "make test: $$tree failed"; status=1; }; \
	done; \
	$(WIN32)/wine-session check || true; \
	exit $$status

# Runs each fuzzer for FUZZ_SECONDS (default 300), growing its corpus in
# build/host/fuzz/long/NAME/corpus; an input that fails is kept beside it.
fuzz: host
	cmake --build $(HOST) --target fuzz

# Builds the setup with the sample product and starts it under Wine.
demo: win64 win32
	@sh tools/demo.sh

# A setup of your own product:
#   make setup PRODUCT=DIR OUT=DIR2 [PRODUCT_LIST=FILE]   pack DIR and link it
#   make setup PAYLOAD=FILE OUT=DIR2                      link a payload packed earlier
# A product of one's own is packed at the smallest level unless PACK_LEVEL
# names another (0 to 9; 6 is zlib's default and many times faster).
setup: host
	@test -n "$(OUT)" || { echo "make setup: OUT=DIR is required" >&2; exit 2; }
	@test -n "$(PRODUCT)$(PAYLOAD)" || { echo "make setup: PRODUCT=DIR or PAYLOAD=FILE is required" >&2; exit 2; }
	@for arch in win32:i686 win64:x86_64; do \
	    tree=$(OUT)/$${arch%%:*}; \
	    cmake -S . -B $$tree -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$${arch##*:}.cmake \
	        -DTONVARO_PACK=$(PACK) -DTONVARO_BUILD_TESTS=OFF \
	        -DTONVARO_PRODUCT_DIR=$(abspath $(or $(PRODUCT),product/files)) \
	        -DTONVARO_PRODUCT_LIST=$(if $(PRODUCT_LIST),$(abspath $(PRODUCT_LIST))) \
	        -DTONVARO_PACK_LEVEL=$(or $(PACK_LEVEL),$(if $(PRODUCT),smallest)) \
	        -DTONVARO_PAYLOAD=$(if $(PAYLOAD),$(abspath $(PAYLOAD))) >/dev/null || exit 1; \
	    cmake --build $$tree -j$(JOBS) --target setup || exit 1; \
	    echo "built $$tree/setup.exe"; \
	done

# Benchmarks against the limits and the peers, NSIS among them (bench/run.py;
# about 10 minutes the first time, with the content and the NSIS installers; 7 after).
bench:
	@sh tools/install-deps.sh bench
	JOBS=$(JOBS) /usr/bin/python3 bench/run.py

clean:
	-for tree in $(WIN32) $(WIN64); do test -x $$tree/wine-session && $$tree/wine-session stop; done
	rm -rf build
