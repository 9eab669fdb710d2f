#!/usr/bin/env bash
# Prints the Windows architecture whose programs run under Wine here:
# win32 where the kernel runs 32-bit programs (Wine's 32-bit loader
# starts), else win64. Some virtual machines cannot run 32-bit code at all;
# there the Wine tests run the 64-bit build of the same sources.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo win32; else echo win64; fi
