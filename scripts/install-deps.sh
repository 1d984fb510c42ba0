#!/bin/bash
# Installs what building, running and testing Tessarix needs on Debian 12, as root.
# Packages already present are left alone; nothing is downloaded from anywhere but
# Debian's archive. Also makes the kernel hand 32-bit programs to qemu's user-mode
# emulator, so the shipped 32-bit program can run its tests under 32-bit Wine.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  googletest libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine64 wine32 qemu-user-static
  xvfb openbox xdotool x11-utils imagemagick
  python3 procps util-linux file zip
  dieharder gnuplot-nox
)

root=0
[ "$(id -u)" -eq 0 ] && root=1
export DEBIAN_FRONTEND=noninteractive

# wine32 is an i386 package: the architecture must be known to dpkg before apt can see it.
updated=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [ "$root" -eq 1 ]; then
    echo "Adding the i386 architecture (for wine32)"
    dpkg --add-architecture i386
    apt-get update -qq
    updated=1
  else
    echo "Not root: the i386 architecture (for wine32) cannot be added." >&2
  fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$root" -eq 0 ]; then
    echo "Run as root (apt-get install needs it)." >&2
    exit 1
  fi
  [ "$updated" -eq 1 ] || apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# NOTE: this machine's kernel runs no 32-bit code of its own, and Debian's qemu-user-static
# registers no i386 handler on an x86-64 host (it assumes the kernel runs it natively).
# The registration is made here: ELF32, little-endian, executable or shared object, i386.
# Flag F opens the emulator now, so it also works inside other mount namespaces. A
# machine that refuses is not an error: the 32-bit test run reports it and is skipped.
binfmt=/proc/sys/fs/binfmt_misc
binfmt_note() { echo "32-bit programs: $1; the 32-bit Wine tests will be skipped." >&2; }
if [ ! -e "$binfmt/qemu-i386" ]; then
  if [ "$root" -eq 0 ]; then
    binfmt_note "not root, cannot register qemu-i386 with binfmt_misc"
  else
    if [ ! -e "$binfmt/register" ]; then
      mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    fi
    if [ ! -e "$binfmt/register" ]; then
      binfmt_note "binfmt_misc is not available"
    elif ! printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        >"$binfmt/register" 2>/dev/null; then
      binfmt_note "binfmt_misc refused the qemu-i386 registration"
    else
      echo "Registered qemu-i386 with binfmt_misc"
    fi
  fi
fi
