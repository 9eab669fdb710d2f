#!/usr/bin/env bash
# Runs one Windows program under Wine with the test environment; the exit
# code is the program's (Windows -1 arrives as 255). Used by ctest as the
# cross-compiling emulator.
source "$(dirname "$0")/wine-env.sh"
exec wine "$@"
