#!/usr/bin/env bash
# CI: the README's commands as a newcomer runs them on a fresh Debian 12
# machine. Makes a minimal Debian 12 root (debootstrap --variant=minbase, plus
# git, sudo and ca-certificates, nothing else), clones this checkout's commit
# into it and runs ./test.sh and ./run.sh there as root, in a chroot. Whatever
# this machine has installed, the root has only what the project's own scripts
# install, so a missing install step fails here. Exits with the first failure.
#
# Usage: scripts/ci/fresh-root.sh [--readme-order]
#   By default ./test.sh runs first, then ./run.sh, which reuses its build.
#   --readme-order runs ./run.sh first, as the README says (./test.sh then
#   builds everything again, with warnings as errors).
#
# Needs root. The root goes to a new folder under ${TMPDIR:-/var/tmp} and is
# removed at the end, also after a failure or an interruption (set
# QUORVANE_KEEP_FRESH_ROOT=1 to keep it). The root is bound onto itself, so
# that its / is a mount point; in it, /proc and /sys are
# mounted afresh and /dev keeps debootstrap's own device nodes, with a devpts
# instance of its own and a tmpfs for /dev/shm: nothing of the machine's /dev
# is bound into it, and every mount is taken down before the folder is removed
# (never across a mount point that is still there).
set -euo pipefail
cd "$(dirname "$0")/../.."

readme_order=false
case "${1:-}" in
  "") ;;
  --readme-order) readme_order=true ;;
  *) echo "usage: $0 [--readme-order]" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then
  echo "$0: needs root (debootstrap, mount and chroot)" >&2
  exit 2
fi

mirror=${QUORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
scripts/install-packages.sh "Fresh root" debootstrap

root=$(mktemp -d "${TMPDIR:-/var/tmp}/quorvane-fresh-root.XXXXXX")
# The root's / as on any machine: a mktemp folder is for its owner alone, and
# users other than root (the tests save as "nobody") could reach nothing.
chmod 755 "$root"

# The mount points under the root, deepest first.
mounts_under_root() {
  awk -v root="$root" '$5 == root || index($5, root "/") == 1 { print $5 }' /proc/self/mountinfo \
    | sort -r
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  set +e
  # Processes left in the root (none, normally) hold its mounts: end them.
  local proc
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ]; then
      kill -KILL "${proc#/proc/}" 2>/dev/null
    fi
  done
  local point
  for point in $(mounts_under_root); do
    umount "$point" 2>/dev/null || umount --lazy "$point"
  done
  if [ -n "$(mounts_under_root)" ]; then
    echo "==> Fresh root: mounts still under $root, left in place:" >&2
    mounts_under_root >&2
    exit 1
  fi
  if [ "${QUORVANE_KEEP_FRESH_ROOT:-0}" = 1 ]; then
    echo "==> Fresh root kept in $root"
  else
    rm -rf --one-file-system "$root"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

timed() {
  local what=$1 start=$SECONDS
  shift
  "$@"
  echo "==> Fresh root: $what took $((SECONDS - start)) s"
}

echo "==> Fresh root: debootstrap --variant=minbase bookworm $root"
start=$SECONDS
debootstrap --variant=minbase --include=git,sudo,ca-certificates bookworm "$root" "$mirror" \
  > "$root.debootstrap.log" 2>&1 \
  || { tail -n 30 "$root.debootstrap.log"; rm -f "$root.debootstrap.log"; exit 1; }
rm -f "$root.debootstrap.log"
echo "==> Fresh root: debootstrap took $((SECONDS - start)) s"

# As a Debian 12 installation has them: the release, its updates and security.
cat > "$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb ${QUORVANE_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security} bookworm-security main
EOF
# No service starts from a package installed in the root.
printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

# The root is a mount point of its own, as / is on any machine: a test that
# makes a mount namespace (a small file system for the full-disk tests) sets
# the propagation of /, which only a mount point has.
mount --bind "$root" "$root"
mount -t proc -o nosuid,nodev,noexec proc "$root/proc"
mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$root/sys"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5,nosuid,noexec devpts "$root/dev/pts"
mount -t tmpfs -o nosuid,nodev,mode=1777 tmpfs "$root/dev/shm"

echo "==> Fresh root: cloning $(git rev-parse --short HEAD) into /root/quorvane"
git clone --quiet --no-local "$PWD" "$root/root/quorvane"
git -C "$root/root/quorvane" checkout --quiet --detach "$(git rev-parse HEAD)"

in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/quorvane && $1" < /dev/null
}
# ./test.sh, whose every test must run: a skipped test checks nothing.
run_tests() {
  in_root './test.sh 2>&1 | tee /root/test.log; exit "${PIPESTATUS[0]}"'
  if grep -q "The following tests did not run" "$root/root/test.log"; then
    sed -n '/The following tests did not run/,$p' "$root/root/test.log" >&2
    echo "==> Fresh root: tests were skipped" >&2
    return 1
  fi
}
if $readme_order; then
  timed ./run.sh in_root ./run.sh
  timed ./test.sh run_tests
else
  timed ./test.sh run_tests
  timed ./run.sh in_root ./run.sh
fi
echo "==> Fresh root: ./run.sh and ./test.sh passed, every test run"
