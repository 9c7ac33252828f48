#!/usr/bin/env bash
# Runs a command with a small, nearly empty file system mounted (a 4 MiB tmpfs) and names its
# Unix path in QUORVEL_SMALL_DISK, so that an installation into it runs out of space. Mounting
# needs root; without it the command still runs and the test that needs the disk skips itself.
set -u
disk=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-small-disk.XXXXXX")
if mount -t tmpfs -o size=4m,mode=0777 quorvel-small-disk "$disk" 2>/dev/null; then
  export QUORVEL_SMALL_DISK=$disk
  trap 'umount "$disk" 2>/dev/null; rmdir "$disk"' EXIT
else
  echo "with-small-disk: cannot mount a tmpfs (not root?); the disk-full case will skip" >&2
  trap 'rmdir "$disk"' EXIT
fi
"$@"
