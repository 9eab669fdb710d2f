#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, as root.
# A second run finds everything in place and returns at once.
#   install-deps.sh            everything (the Windows builds, Wine, tests)
#   install-deps.sh --native   only what the native ryvo needs (make install)
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if [ "${1:-}" = --native ]; then
  # A machine that builds without Debian's packages (another distribution)
  # is fine too: a compiler, make and CMake are all the native tool needs.
  if command -v c++ >/dev/null && command -v make >/dev/null && command -v cmake >/dev/null; then
    exit 0
  fi
  packages=(cmake make g++)
else
  packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
            cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libpalm-perl
            wine wine64 wine32:i386 xvfb xauth x11-apps xdotool
            fonts-ipafont-gothic locales imagemagick zip unzip man-db groff-base
            libxml2-utils chromium)
fi
for p in "${packages[@]}"; do
  have "$p" || need+=("$p")
done

jp_locale_ok() { [ "${1:-}" = --native ] || locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; }

if [ ${#need[@]} -eq 0 ] && jp_locale_ok "${1:-}"; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${need[*]}; run as root or install them" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ ${#need[@]} -gt 0 ]; then
  echo "install-deps: installing ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

if ! jp_locale_ok "${1:-}"; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen 2>/dev/null || true
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null 2>&1 || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
