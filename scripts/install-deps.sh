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
  wine64 wine32
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
    updated=2
  else
    echo "Not root: the i386 architecture (for wine32) cannot be added." >&2
  fi
fi

# NOTE: Debian 12's own qemu user-mode emulator (7.2) walks its page table page by page
# for every memory mapping a 32-bit Wine process makes inside Wine's reserved gigabytes:
# each process then takes about a minute of CPU to start, and starting the Wine services
# minutes. From 8.1 on the emulator keeps mappings in an interval tree (a second per
# process). Debian 12 has such a version in its backports suite, which is used for this
# one package only (backports never replace other packages unasked).
qemu_package=qemu-user
qemu_least=1:8.1
qemu_suite=""
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
qemu_version=$(dpkg-query -W -f='${Version}' "$qemu_package" 2>/dev/null || true)
if [ -z "$qemu_version" ] || ! dpkg --compare-versions "$qemu_version" ge "$qemu_least"; then
  if [ "$codename" = bookworm ]; then
    qemu_suite=bookworm-backports
    if ! grep -rqs "bookworm-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
      if [ "$root" -eq 1 ]; then
        echo "Adding Debian's bookworm-backports suite (for $qemu_package >= $qemu_least)"
        echo "deb http://deb.debian.org/debian bookworm-backports main" \
          >/etc/apt/sources.list.d/tessarix-backports.list
        updated=2
      fi
    fi
  fi
fi
if [ "$updated" -eq 2 ]; then
  apt-get update -qq
  updated=1
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

qemu_version=$(dpkg-query -W -f='${Status} ${Version}' "$qemu_package" 2>/dev/null | sed -n 's/^install ok installed //p' || true)
if [ -z "$qemu_version" ] || ! dpkg --compare-versions "$qemu_version" ge "$qemu_least"; then
  if [ "$root" -eq 0 ]; then
    echo "Run as root to install $qemu_package >= $qemu_least (for the 32-bit tests)." >&2
    exit 1
  fi
  echo "Installing: $qemu_package${qemu_suite:+ from $qemu_suite}"
  [ "$updated" -eq 1 ] || apt-get update -qq
  # The old emulator package conflicts with the new one, which carries the same programs.
  apt-get install -y -qq --no-install-recommends ${qemu_suite:+-t "$qemu_suite"} \
    "$qemu_package" "qemu-user-static-" >/dev/null
fi

# --- Locales whose ANSI code page is not 1252 -------------------------------------------
# Wine takes a program's ANSI code page from its Unix locale (LC_ALL): ru_RU gives 1251,
# ja_JP gives 932. The end-to-end tests run the program under both to see its German
# texts arrive as themselves. Made with Debian's locale-gen from /etc/locale.gen, so that
# the locales package's own later runs keep them; nothing is done when both exist.
test_locales=(ru_RU.UTF-8 ja_JP.UTF-8)
locale_known() { locale -a 2>/dev/null | grep -qix "$(echo "$1" | sed 's/UTF-8$/utf8/')"; }
locales_missing=()
for l in "${test_locales[@]}"; do
  locale_known "$l" || locales_missing+=("$l")
done
if [ ${#locales_missing[@]} -gt 0 ]; then
  if [ "$root" -eq 0 ]; then
    echo "Run as root to make the locales ${locales_missing[*]} (for the code-page tests)." >&2
    exit 1
  fi
  if ! dpkg-query -W -f='${Status}' locales 2>/dev/null | grep -q "install ok installed"; then
    echo "Installing: locales"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends locales >/dev/null
  fi
  for l in "${locales_missing[@]}"; do
    if grep -q "^# *$l UTF-8\$" /etc/locale.gen; then
      sed -i "s/^# *$l UTF-8\$/$l UTF-8/" /etc/locale.gen
    elif ! grep -q "^$l UTF-8\$" /etc/locale.gen; then
      echo "$l UTF-8" >>/etc/locale.gen
    fi
  done
  echo "Making the locales ${locales_missing[*]}"
  locale-gen >/dev/null
fi
# --- end of the locales ------------------------------------------------------------------

# NOTE: this machine's kernel runs no 32-bit code of its own, and Debian's emulator package
# registers no i386 handler on an x86-64 host (it assumes the kernel runs it natively).
# The registration is made here: ELF32, little-endian, executable or shared object, i386.
# Flag F opens the emulator now, so it also works inside other mount namespaces; it also
# means that a registration keeps the emulator file it was made with after an upgrade,
# so the emulator's checksum is kept beside the prefixes and a stale or foreign
# registration is replaced. A machine that refuses is not an error: the 32-bit test run
# reports it and is skipped.
binfmt=/proc/sys/fs/binfmt_misc
emulator=/usr/bin/qemu-i386
stamp=/var/cache/tessarix/binfmt-qemu-i386
binfmt_note() { echo "32-bit programs: $1; the 32-bit Wine tests will be skipped." >&2; }
if [ "$root" -eq 0 ]; then
  [ -e "$binfmt/qemu-i386" ] || binfmt_note "not root, cannot register qemu-i386 with binfmt_misc"
else
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
  fi
  wanted="$(sha256sum "$emulator" | cut -d' ' -f1) $emulator"
  if [ -e "$binfmt/qemu-i386" ] && { ! grep -qx "interpreter $emulator" "$binfmt/qemu-i386" ||
    [ "$(cat "$stamp" 2>/dev/null)" != "$wanted" ]; }; then
    echo "Replacing the qemu-i386 registration (another or an older emulator)"
    echo -1 >"$binfmt/qemu-i386" 2>/dev/null || true
  fi
  if [ -e "$binfmt/qemu-i386" ]; then
    :
  elif [ ! -e "$binfmt/register" ]; then
    binfmt_note "binfmt_misc is not available"
  elif ! printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$emulator:F" \
    >"$binfmt/register" 2>/dev/null; then
    binfmt_note "binfmt_misc refused the qemu-i386 registration"
  else
    mkdir -p "$(dirname "$stamp")"
    echo "$wanted" >"$stamp"
    echo "Registered qemu-i386 with binfmt_misc ($emulator)"
  fi
fi

# --- The second platform generation: a Debian 13 tree with Wine 10 -------------------------
# The 64-bit tests also run under the next Wine generation, in a Debian 13 ("trixie") tree
# made here with debootstrap, once per machine, beside the settled Wine prefixes; the runner
# enters it with chroot (tests/wine/wine-run.in). It is built in a temporary folder and
# renamed when complete, so an interrupted build never leaves a tree that looks ready, and
# the stamp inside says which package set it was made with. A machine that refuses (not
# root, no network) is not an error: the test command reports the Wine 10 run as skipped.
tree_suite=trixie
tree=/var/cache/tessarix/debian13
tree_packages=(wine wine64 xvfb openbox xdotool x11-utils libasound2t64)
tree_wanted="$tree_suite ${tree_packages[*]}"
tree_note() { echo "Debian 13 tree with Wine 10: $1; the Wine 10 tests will be skipped." >&2; }
make_tree() {
  local work="$1"
  chmod 755 "$work"  # mktemp made it private; it is the root of a system
  debootstrap --variant=minbase "$tree_suite" "$work" http://deb.debian.org/debian >"$work.log" 2>&1 || return 1
  cp /etc/resolv.conf "$work/etc/resolv.conf"
  # Package scripts want /proc and /dev; the mounts live in a namespace of their own and end
  # with it, so nothing stays mounted inside the tree.
  unshare --mount --propagation private -- /bin/sh -ec '
    mount --rbind /dev "$1/dev"; mount --bind /proc "$1/proc"; mount --bind /sys "$1/sys"
    shift
    exec chroot "$0" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
      /bin/sh -ec "apt-get update -qq && apt-get install -y -qq --no-install-recommends $* && apt-get clean"
  ' "$work" "$work" "${tree_packages[@]}" >>"$work.log" 2>&1 || return 1
  rm -rf "$work"/var/lib/apt/lists/*
  echo "$tree_wanted" >"$work/.tessarix-ready"
}
if [ "$(cat "$tree/.tessarix-ready" 2>/dev/null)" = "$tree_wanted" ]; then
  :
elif [ "$root" -eq 0 ]; then
  tree_note "not root, cannot make it"
elif ! { dpkg-query -W -f='${Status}' debootstrap 2>/dev/null | grep -q "install ok installed" ||
  { apt-get update -qq && apt-get install -y -qq --no-install-recommends debootstrap >/dev/null; }; }; then
  tree_note "debootstrap could not be installed"
else
  mkdir -p "$(dirname "$tree")"
  exec 7>"$tree.lock"
  flock 7
  if [ "$(cat "$tree/.tessarix-ready" 2>/dev/null)" != "$tree_wanted" ]; then
    echo "Making the Debian 13 tree with Wine 10 in $tree (once per machine)"
    tree_started=$SECONDS
    rm -rf "$tree".new.*
    tree_work=$(mktemp -d "$tree.new.XXXXXX")
    if make_tree "$tree_work"; then
      rm -rf "$tree.old"
      [ -e "$tree" ] && mv "$tree" "$tree.old"
      mv "$tree_work" "$tree"
      rm -rf "$tree.old" "$tree_work.log"
      echo "Made the Debian 13 tree in $((SECONDS - tree_started)) s ($(du -sh "$tree" | cut -f1))"
    else
      tail -n 5 "$tree_work.log" >&2
      rm -rf "$tree_work" "$tree_work.log"
      tree_note "making it failed (no network?)"
    fi
  fi
  exec 7>&-
fi
