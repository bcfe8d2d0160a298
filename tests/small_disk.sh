#!/bin/sh
# Runs a command with a small file system of its own: a 256 KiB tmpfs mounted
# in a mount namespace of the command's own (the machine's mounts are not
# touched), its folder named in QUORVANE_SMALL_DISK, so that a test can fill
# the disk and see what survives.
#   tests/small_disk.sh COMMAND [ARGUMENT...]
set -eu
if [ "${QUORVANE_IN_SMALL_DISK:-}" != 1 ]; then
  export QUORVANE_IN_SMALL_DISK=1
  # The administrator needs only a mount namespace; anyone else maps
  # themselves to root in a user namespace of their own.
  if [ "$(id -u)" -eq 0 ]; then exec unshare --mount -- "$0" "$@"; fi
  exec unshare --mount --map-root-user -- "$0" "$@"
fi
disk=$(mktemp -d)
mount -t tmpfs -o size=256k quorvane-small-disk "$disk"
export QUORVANE_SMALL_DISK="$disk"
status=0
"$@" || status=$?
umount "$disk"
rmdir "$disk"
exit "$status"
