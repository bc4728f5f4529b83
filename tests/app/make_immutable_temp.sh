#!/bin/sh
# make_immutable_temp.sh DIR | --remove DIR
# Makes DIR an existing directory that takes no new file, not even from
# root, whom mode bits do not stop: the immutable attribute (chattr +i). Where
# the build's file system has no such attribute (overlayfs), DIR is a mount
# of a small ext2 image that has it. --remove takes both away again.
set -eu
if [ "$1" = --remove ]; then
  dir=$2
  [ -d "$dir" ] && chattr -i "$dir" 2>/dev/null || true
  if mountpoint -q "$dir"; then umount "$dir"; fi
  rm -rf "$dir" "$dir.img"
  exit 0
fi
dir=$1
"$0" --remove "$dir"
mkdir -p "$dir"
if ! chattr +i "$dir" 2>/dev/null; then
  rmdir "$dir"
  mkdir -p "$dir"
  dd if=/dev/zero of="$dir.img" bs=1024 count=1024 2>/dev/null
  mke2fs -q -F -t ext2 "$dir.img"
  mount -o loop "$dir.img" "$dir"
  chattr +i "$dir"
fi
# The attribute holds: a file cannot be created.
if touch "$dir/probe" 2>/dev/null; then
  echo "make_immutable_temp.sh: $dir still takes files" >&2
  exit 1
fi
