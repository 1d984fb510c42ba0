#!/bin/bash
# Optional check, not part of the test command (it needs root, network and ten minutes or
# more): the README's install paths on a freshly made Debian 12, as a new user meets them.
#   check-fresh-machine.sh [--fault] [--keep] [DIR]
# Makes a minimal Debian 12 in DIR (default /var/tmp/tessarix-fresh) with debootstrap and the
# archive's three suites as this machine's /etc/apt/sources.list.d/debian.sources has them,
# copies the checkout into it and, in a chroot with /proc, /dev and /sys mounted:
#   1. runs the run command (scripts/run.sh without a display): it must exit 0, leave a
#      screenshot of the window, and install no i386 package, no emulator and no tree;
#   2. runs the install step of the test command (scripts/install-deps.sh): it must exit 0,
#      name each group it could not install, and make the Debian 13 tree.
# --fault makes the archive out of step on purpose, as it once was for hours: a sources entry
# for a suite that does not exist makes apt-get update fail, and the security suite taken
# for amd64 only makes the amd64 and i386 versions of the same libraries disagree, so the
# host's 32-bit Wine cannot be installed. Prints what each step did and how long it took;
# exits non-zero when a step broke its promise. DIR is removed at the end unless --keep.
set -uo pipefail
cd "$(dirname "$0")/.."
checkout=$PWD

fault=0 keep=0 dir=/var/tmp/tessarix-fresh
for arg in "$@"; do
  case "$arg" in
    --fault) fault=1 ;;
    --keep) keep=1 ;;
    -*)
      echo "usage: $0 [--fault] [--keep] [DIR]" >&2
      exit 2
      ;;
    *) dir=$arg ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "Run as root (debootstrap and chroot need it)." >&2; exit 1; }
sources=/etc/apt/sources.list.d/debian.sources
[ -f "$sources" ] || { echo "No $sources on this machine to copy." >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "debootstrap is missing (scripts/install-deps.sh installs it)." >&2; exit 1; }

results=()
failures=0
report() { results+=("$1"); echo "--- $1"; }
broken() { report "FAILED: $1"; failures=$((failures + 1)); }

# Runs a command inside the fresh system as root with a plain environment; the mounts live in
# a namespace of their own and end with it.
inside() {
  unshare --mount --propagation private -- /bin/bash -c '
    dir=$1; shift
    # The fresh root is a mount point of its own, as a machine'"'"'s root is: the install step
    # makes private mount namespaces of its own, which needs that.
    mount --bind "$dir" "$dir"
    mount --rbind /dev "$dir/dev"; mount --bind /proc "$dir/proc"; mount --bind /sys "$dir/sys"
    exec chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
      TESSARIX_BINFMT=leave /bin/bash -c "$*"
  ' inside "$dir" "$@"
}

# --- A fresh Debian 12 --------------------------------------------------------------------
rm -rf "$dir"
mkdir -p "$dir"
started=$SECONDS
if ! debootstrap --variant=minbase bookworm "$dir" http://deb.debian.org/debian >"$dir.debootstrap.log" 2>&1; then
  tail -n 5 "$dir.debootstrap.log" >&2
  echo "debootstrap failed (no network?)" >&2
  exit 1
fi
rm -f "$dir.debootstrap.log"
report "made a minimal Debian 12 in $dir in $((SECONDS - started)) s"
rm -f "$dir/etc/apt/sources.list"
mkdir -p "$dir/etc/apt/sources.list.d"
cp "$sources" "$dir/etc/apt/sources.list.d/debian.sources"
if [ "$fault" -eq 1 ]; then
  # The security stanza for amd64 only, and a suite the archive does not have.
  awk '/^Suites:.*-security/ {print; print "Architectures: amd64"; next} {print}' "$sources" \
    >"$dir/etc/apt/sources.list.d/debian.sources"
  cat >"$dir/etc/apt/sources.list.d/out-of-step.sources" <<'EOF'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-out-of-step
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  report "archive made out of step: security suite for amd64 only, and a suite that does not exist"
fi
cp /etc/resolv.conf "$dir/etc/resolv.conf"
mkdir -p "$dir/root/tessarix"
# The checkout as it stands, uncommitted changes included; no build trees.
git ls-files -z | tar --null -T - -c | tar -x -C "$dir/root/tessarix"

# --- 1. The run command ---------------------------------------------------------------------
started=$SECONDS
inside "cd /root/tessarix && scripts/run.sh" >"$dir.run.log" 2>&1
code=$?
took=$((SECONDS - started))
grep -E '^(Installing|Could not|apt-get update|Tessarix)' "$dir.run.log" | sed 's/^/    /'
shot=$dir/root/tessarix/build/win64/tessarix-window.png
if [ "$code" -ne 0 ]; then
  tail -n 20 "$dir.run.log"
  broken "the run command exited $code after $took s"
elif [ ! -s "$shot" ]; then
  broken "the run command left no screenshot"
else
  mkdir -p "$checkout/build" && cp "$shot" "$checkout/build/fresh-machine-window.png"
  report "the run command exited 0 in $took s; screenshot: build/fresh-machine-window.png"
fi
foreign=$(inside "dpkg --print-foreign-architectures; dpkg-query -W -f='\${Package}:\${Architecture}\n' | grep -c ':i386\$'")
emulator=$(inside "dpkg-query -W -f='\${Status}' qemu-user 2>/dev/null | grep -c 'install ok installed'")
if [ "$(echo "$foreign" | tail -n1)" != 0 ] || [ "$(echo "$foreign" | wc -l)" -ne 1 ]; then
  broken "the run command added the i386 architecture or installed i386 packages: $(echo "$foreign" | tr '\n' ' ')"
elif [ "$emulator" != 0 ]; then
  broken "the run command installed the emulator"
elif [ -e "$dir/var/cache/tessarix/debian13" ]; then
  broken "the run command made the Debian 13 tree"
else
  report "the run command installed no i386 package, no emulator and no Debian tree"
fi

# --- 2. The test command's install step -------------------------------------------------------
started=$SECONDS
inside "cd /root/tessarix && scripts/install-deps.sh" >"$dir.install.log" 2>&1
code=$?
took=$((SECONDS - started))
sed 's/^/    /' "$dir.install.log" | grep -vE '^    (Reading|Building|Selecting|Preparing|Unpacking|Setting up)' | tail -n 20
if [ "$code" -ne 0 ]; then
  broken "the install step exited $code after $took s"
else
  report "the install step exited 0 in $took s"
fi
could_not=$(grep -c '^Could not install' "$dir.install.log")
if [ "$fault" -eq 1 ] && [ "$could_not" -eq 0 ]; then
  broken "the install step named no group it could not install, with the archive out of step"
fi
if [ -f "$dir/var/cache/tessarix/debian13/.tessarix-ready" ]; then
  report "the Debian 13 tree is made ($(du -sh "$dir/var/cache/tessarix/debian13" | cut -f1))"
else
  broken "the Debian 13 tree was not made"
fi

echo
echo "Fresh Debian 12$([ "$fault" -eq 1 ] && echo ", archive out of step"):"
printf '  %s\n' "${results[@]}"
[ "$failures" -eq 0 ] || { echo "The logs: $dir.run.log, $dir.install.log"; exit 1; }
rm -f "$dir.run.log" "$dir.install.log"
[ "$keep" -eq 1 ] || rm -rf "$dir"
