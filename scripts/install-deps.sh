#!/bin/bash
# Installs what building, running and testing Tessarix needs on Debian 12, as root.
# Packages already present are left alone; nothing is downloaded from anywhere but
# Debian's archive.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  googletest libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine64
  xvfb openbox xdotool x11-utils imagemagick
  python3 procps util-linux file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root (apt-get install needs it)." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
