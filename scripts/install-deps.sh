#!/bin/bash
# Installs what Tessarix needs on Debian 12, as root.
#   install-deps.sh         everything the test command needs (the default)
#   install-deps.sh --run   only what building and running the program needs: the 64-bit
#                           cross compiler, CMake and Ninja, the 64-bit Wine, and the virtual
#                           display, window manager and screenshot tools
# Packages already present are left alone; nothing is downloaded from anywhere but Debian's
# archive. The test set also makes the kernel hand 32-bit programs to qemu's user-mode
# emulator, and makes a Debian 13 tree with the next Wine generation.
#
# A package group that cannot be installed today (an archive index out of step, say) is
# named with apt's reason, and the others are installed all the same: the step fails only
# when the build and run tools themselves are missing. What the tests cannot run without
# is reported by the test command as skipped.
set -uo pipefail

mode=test
case "${1:-}" in
  --run) mode=run ;;
  "" | --test) ;;
  *)
    echo "usage: $0 [--run | --test]" >&2
    exit 2
    ;;
esac

root=0
[ "$(id -u)" -eq 0 ] && root=1
export DEBIAN_FRONTEND=noninteractive

# The groups, each installed by one apt transaction of its own.
build_run=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest
  wine64 xvfb openbox xdotool x11-utils imagemagick procps util-linux)
test_tools=(g++ make libbenchmark-dev clang libclang-rt-14-dev clang-format clang-tidy
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 python3 file zip dieharder gnuplot-nox locales)
host_wine32=(wine32)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# --- The archive's indexes --------------------------------------------------------------
# NOTE: a mirror can serve an index that does not match its Release file for hours ("File
# has unexpected size ... Mirror sync in progress?"). apt then keeps the other indexes and
# exits 100. Each try retries the downloads itself; after the last, the step goes on with
# what apt has and says so once. Only the groups that need the missing index fail below.
updated=0
update_indexes() {
  [ "$updated" -eq 1 ] && return 0
  updated=1
  local try out=""
  for try in 1 2 3; do
    if out=$(apt-get -o Acquire::Retries=3 update -qq 2>&1); then
      return 0
    fi
    [ "$try" -lt 3 ] && sleep $((try * 5))
  done
  echo "apt-get update: $(echo "$out" | grep -m1 -E '^(E|W): ' | cut -c1-240); going on with the indexes apt has" >&2
  return 0
}

# Installs one group in one transaction; says in one line, with apt's reason, when it cannot.
install_group() {
  local name=$1
  shift
  # An apt option (-o...) or a removal (NAME-) is passed on as it stands; of the packages,
  # those not installed yet.
  local p missing=() extra=()
  for p in "$@"; do
    case "$p" in
      -* | *-) extra+=("$p") ;;
      *) installed "$p" || missing+=("$p") ;;
    esac
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$root" -eq 0 ]; then
    echo "Not root: cannot install the $name (${missing[*]})." >&2
    return 1
  fi
  update_indexes
  echo "Installing the $name: ${missing[*]}"
  local out
  # -q, not -qq: only then does apt name the unmet dependencies behind its verdict.
  if out=$(apt-get install -y -q --no-install-recommends "${extra[@]}" "${missing[@]}" 2>&1); then
    return 0
  fi
  # apt's own reason: the first unmet dependency of a package of the group (else the first
  # it names), then its verdict.
  local reason names
  names=$(printf '%s|' "${missing[@]}")
  reason=$(echo "$out" | grep -E 'Depends:|has no installation candidate|Unable to locate' | sed -E 's/^ +//; s/ +/ /g' |
    awk -v names="^(${names%|})(:[a-z0-9]+)? " 'NR == 1 {first = $0} $0 ~ names {print; found = 1; exit}
      END {if (!found) print first}')
  reason="${reason:+$reason; }$(echo "$out" | grep -E '^E: ' | tail -n1 | cut -c4-)"
  echo "Could not install the $name (${missing[*]}): ${reason:-apt-get failed}" >&2
  return 1
}

status=0

# Run mode adds no architecture, no suite and no tree: the 64-bit side is all it needs.
if [ "$mode" = run ]; then
  install_group "build and run tools" "${build_run[@]}" || status=1
  exit $status
fi

# wine32 is an i386 package: the architecture must be known to dpkg before apt can see it.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [ "$root" -eq 1 ]; then
    echo "Adding the i386 architecture (for wine32)"
    dpkg --add-architecture i386
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
emulator_ok() {
  local version
  version=$(dpkg-query -W -f='${Status} ${Version}' "$qemu_package" 2>/dev/null | sed -n 's/^install ok installed //p')
  [ -n "$version" ] && dpkg --compare-versions "$version" ge "$qemu_least"
}
if ! emulator_ok && [ "$codename" = bookworm ]; then
  qemu_suite=bookworm-backports
  if ! grep -rqs "bookworm-backports" /etc/apt/sources.list /etc/apt/sources.list.d/ && [ "$root" -eq 1 ]; then
    echo "Adding Debian's bookworm-backports suite (for $qemu_package >= $qemu_least)"
    echo "deb http://deb.debian.org/debian bookworm-backports main" \
      >/etc/apt/sources.list.d/tessarix-backports.list
  fi
fi

install_group "build and run tools" "${build_run[@]}" || status=1
install_group "test tools" "${test_tools[@]}" || true
# debootstrap needs no fresh index: any list apt has, or the one it fetches, will do.
install_group "tree maker" debootstrap || true
# The emulator is a group of its own: the 32-bit program's Wine 10 run needs it even when
# the host's 32-bit Wine cannot be installed. The old emulator package conflicts with the
# new one, which carries the same programs.
if ! emulator_ok; then
  install_group "32-bit emulator" ${qemu_suite:+"-oAPT::Default-Release=$qemu_suite"} \
    "$qemu_package${qemu_suite:+/$qemu_suite}" "qemu-user-static-" || true
fi
# The host's 32-bit Wine: its i386 libraries must have exactly the versions of their amd64
# twins, so an i386 index out of step with the amd64 one makes the whole group
# uninstallable. The test command then skips the host's 32-bit run and says so; the
# shipped program is still tested under the Wine 10 tree's 32-bit Wine.
install_group "host's 32-bit Wine" "${host_wine32[@]}" || true

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
    echo "Not root: cannot make the locales ${locales_missing[*]} (for the code-page tests)." >&2
  elif [ ! -f /etc/locale.gen ] || ! command -v locale-gen >/dev/null; then
    echo "The locales package is missing: cannot make ${locales_missing[*]} (for the code-page tests)." >&2
  else
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
fi
# --- end of the locales ------------------------------------------------------------------

# NOTE: this machine's kernel runs no 32-bit code of its own, and Debian's emulator package
# registers no i386 handler on an x86-64 host (it assumes the kernel runs it natively).
# The registration is made here: ELF32, little-endian, executable or shared object, i386.
# Flag F opens the emulator now, so it also works inside other mount namespaces and inside
# the Debian 13 tree; it also means that a registration keeps the emulator file it was made
# with after an upgrade, so the emulator's checksum is kept beside the prefixes and a stale
# or foreign registration is replaced. A machine that refuses is not an error: the 32-bit
# test runs report it and are skipped. The registrations are the kernel's, not a file
# system's: a chroot shares its host's, so TESSARIX_BINFMT=leave leaves them alone there.
binfmt=/proc/sys/fs/binfmt_misc
emulator=/usr/bin/qemu-i386
stamp=/var/cache/tessarix/binfmt-qemu-i386
binfmt_note() { echo "32-bit programs: $1; the 32-bit Wine tests will be skipped." >&2; }
if [ "${TESSARIX_BINFMT:-}" = leave ]; then
  :
elif [ "$root" -eq 0 ]; then
  [ -e "$binfmt/qemu-i386" ] || binfmt_note "not root, cannot register qemu-i386 with binfmt_misc"
elif [ ! -x "$emulator" ]; then
  binfmt_note "no emulator $emulator"
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
# The tests also run under the next Wine generation, in a Debian 13 ("trixie") tree made
# here with debootstrap, once per machine, beside the settled Wine prefixes; the runner
# enters it with chroot (tests/wine/wine-run.in). It holds both Wines, the 64-bit one and
# the 32-bit one (wine32:i386, run through the emulator registered above): the tree takes
# both architectures from one index of one suite, so they cannot be out of step the way the
# host's can. It is built in a temporary folder and renamed when complete, so an interrupted
# build never leaves a tree that looks ready, and the stamp inside says which package set it
# was made with. A machine that refuses (not root, no network) is not an error: the test
# command reports the Wine 10 runs as skipped.
tree_suite=trixie
tree=/var/cache/tessarix/debian13
tree_packages=(wine wine64 wine32:i386 libasound2t64:i386 xvfb openbox xdotool x11-utils libasound2t64)
tree_wanted="$tree_suite ${tree_packages[*]}"
tree_note() { echo "Debian 13 tree with Wine 10: $1; the Wine 10 tests will be skipped." >&2; }
make_tree() {
  local work="$1"
  chmod 755 "$work" # mktemp made it private; it is the root of a system
  debootstrap --variant=minbase "$tree_suite" "$work" http://deb.debian.org/debian >"$work.log" 2>&1 || return 1
  cp /etc/resolv.conf "$work/etc/resolv.conf"
  # Package scripts want /proc and /dev; the mounts live in a namespace of their own and end
  # with it, so nothing stays mounted inside the tree.
  unshare --mount --propagation private -- /bin/sh -ec '
    mount --rbind /dev "$1/dev"; mount --bind /proc "$1/proc"; mount --bind /sys "$1/sys"
    shift
    exec chroot "$0" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
      /bin/sh -ec "dpkg --add-architecture i386 && apt-get -o Acquire::Retries=3 update -qq &&
        apt-get install -y -qq --no-install-recommends $* && apt-get clean"
  ' "$work" "$work" "${tree_packages[@]}" >>"$work.log" 2>&1 || return 1
  rm -rf "$work"/var/lib/apt/lists/*
  echo "$tree_wanted" >"$work/.tessarix-ready"
}
if [ "$(cat "$tree/.tessarix-ready" 2>/dev/null)" = "$tree_wanted" ]; then
  :
elif [ "$root" -eq 0 ]; then
  tree_note "not root, cannot make it"
elif ! installed debootstrap; then
  tree_note "debootstrap is not installed"
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
exit $status
