#!/bin/sh
# mount_small_temp.sh DIR INSTALLER | --unmount DIR
# Mounts a fresh tmpfs on DIR with room for INSTALLER and 256 KiB more, and
# makes DIR/temp in it: the temporary location of the end-to-end run in
# which the disk fills up (DIR itself, a mount point, is no staging root);
# or unmounts it again. The tests run as root, as everything here does.
set -eu
if [ "$1" = --unmount ]; then
  if mountpoint -q "$2"; then umount "$2"; fi
  exit 0
fi
dir=$1 installer=$2
if mountpoint -q "$dir"; then umount "$dir"; fi
mkdir -p "$dir"
kib=$(( ($(stat -c %s "$installer") + 1023) / 1024 + 256 ))
mount -t tmpfs -o "size=${kib}k,mode=0700" preloader-small-temp "$dir"
mkdir "$dir/temp"
