# Front door of the build. Every target installs what it needs first
# (scripts/install-deps.sh returns at once when all is in place).
#   make              the Windows programs and an optimised native ryvo
#   make install      ryvo, its man page, bash completion and guides under
#                     PREFIX (/usr/local), or DESTDIR/PREFIX for packaging;
#                     needs only a compiler and CMake
#   make uninstall    removes what install put there
#   make test         build everything and run every test
#   make demo         open RyvoWin on the embedded sample
#   make screenshots  PNG pictures of the windows under screenshots/
#   make bench        time load, export and conversion (Release build)
#   make bench-wine   time ryvo.exe and RyvoWin under Wine beside Wine's floors
#   make dist         the installation medium under dist/
#   make fuzz         run every fuzz target (FUZZ_SECONDS each)
# B selects the build folder, so that several trees can build side by side.

B      ?= build
JOBS   ?= 2
NATIVE := $(B)/native
WIN    := $(B)/win
WIN64  := $(B)/win64
REL    := $(B)/release
PREFIX ?= /usr/local
DESTDIR ?=
FUZZ   := $(B)/fuzz
FUZZ_SECONDS ?= 40
FUZZ_SMOKE_SECONDS ?= 15

.PHONY: all deps deps-release release install uninstall native win win64 win-run test test-native \
        test-wine test-install demo screenshots bench bench-wine dist fuzz fuzz-smoke clean

# For users: the programs, and ryvo built for speed (Release, no sanitizers)
# in $(REL); its host tools (bmpgen) serve the Windows builds.
all: release win

deps:
	@bash scripts/install-deps.sh

# The native Release build needs only a compiler and CMake.
deps-release:
	@bash scripts/install-deps.sh --native

# Every tree is configured on every run (quick when nothing changed), so
# that a changed option or a new file takes effect without make clean.
release: deps-release
	@cmake -S . -B $(REL) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(REL) -j$(JOBS) --target ryvo bmpgen

INSTALLED := bin/ryvo share/man/man1/ryvo.1 share/bash-completion/completions/ryvo \
             share/doc/ryvo/hotsync.md share/doc/ryvo/import.md share/doc/ryvo/check.md

install: release
	install -d $(DESTDIR)$(PREFIX)/bin $(DESTDIR)$(PREFIX)/share/man/man1 \
	  $(DESTDIR)$(PREFIX)/share/bash-completion/completions $(DESTDIR)$(PREFIX)/share/doc/ryvo
	install -m 755 -s $(REL)/cli/ryvo $(DESTDIR)$(PREFIX)/bin/ryvo
	install -m 644 cli/ryvo.1 $(DESTDIR)$(PREFIX)/share/man/man1/ryvo.1
	install -m 644 cli/ryvo.bash $(DESTDIR)$(PREFIX)/share/bash-completion/completions/ryvo
	install -m 644 docs/hotsync.md docs/import.md docs/check.md $(DESTDIR)$(PREFIX)/share/doc/ryvo

# Removes what install put there, then those of its folders under PREFIX
# that are left empty.
uninstall:
	rm -f $(addprefix $(DESTDIR)$(PREFIX)/,$(INSTALLED))
	@for d in share/doc/ryvo share/doc share/bash-completion/completions share/bash-completion \
	          share/man/man1 share/man share bin; do \
	  rmdir "$(DESTDIR)$(PREFIX)/$$d" 2>/dev/null || true; done

# For the tests: the sanitized native build (unit tests, the ryvo tool's
# scripts).
native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DRYVO_SANITIZE=ON -DRYVO_UNIT_TESTS=ON >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

win: deps release
	@cmake -S . -B $(WIN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DRYVO_HOST_BUILD=$(abspath $(REL)) >/dev/null
	@cmake --build $(WIN) -j$(JOBS)

test: all native
	@$(MAKE) --no-print-directory test-native test-install fuzz-smoke test-wine

test-native: native
	@cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)

# make install into a scratch DESTDIR: an optimised binary without
# sanitizer runtime, and a man page that man renders, of every command.
test-install: release
	@bash scripts/test-install.sh $(B)

# The end-to-end tests run the 32-bit programs under Wine; where the kernel
# cannot run 32-bit code (some virtual machines), they run the same sources
# built for 64-bit Windows instead.
test-wine: win-run
	@if [ "$$(bash scripts/wine-arch.sh)" = win32 ]; then \
	  bash scripts/wine-tests.sh $(WIN) 2; \
	else \
	  echo "test-wine: this machine runs no 32-bit programs; testing the 64-bit build"; \
	  RYVO_WINEARCH=win64 bash scripts/wine-tests.sh $(WIN64) 2; \
	fi

# The Windows build that runs under Wine here: the 32-bit one, and the
# 64-bit one too where the kernel runs no 32-bit code.
win-run: win
	@[ "$$(bash scripts/wine-arch.sh)" = win32 ] || $(MAKE) --no-print-directory win64

win64: deps release
	@cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DRYVO_HOST_BUILD=$(abspath $(REL)) >/dev/null
	@cmake --build $(WIN64) -j$(JOBS)

demo: all native win-run
	@bash scripts/demo.sh $(B)

screenshots: all native win-run
	@bash scripts/screenshots.sh $(B)

bench: release
	@cmake --build $(REL) -j$(JOBS) --target ryvo_bench
	@$(REL)/bench/ryvo_bench

# ryvo.exe and RyvoWin under Wine on a 2,000-stock dump (not part of test).
bench-wine: win-run
	@if [ "$$(bash scripts/wine-arch.sh)" = win32 ]; then bash scripts/bench-wine.sh $(WIN); \
	else bash scripts/bench-wine.sh $(WIN64); fi

dist: all
	@bash scripts/make-dist.sh $(B)

clean:
	rm -rf $(B) dist screenshots

# Fuzzing: a clang build of the fuzz targets alone (tests/fuzz), then every
# target for FUZZ_SECONDS (fuzz) or FUZZ_SMOKE_SECONDS (fuzz-smoke, part of
# make test).
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRYVO_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS) --target fuzz_all
	@bash scripts/fuzz-run.sh $(FUZZ) $(FUZZ_SECONDS)

fuzz-smoke: deps
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS)
