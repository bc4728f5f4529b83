#!/bin/sh
# make_immutable_temp.sh DIR | --remove DIR
# Makes DIR an existing directory that takes no new file, not even from
# root, whom mode bits do not stop: the immutable attribute (chattr +i). Where
# the build's file system has no such attribute (overlayfs), DIR is a mount
# of a small ext2 image that has it. Where neither can be had, it says why
# in DIR.unavailable and exits 0: the run that needs DIR is then skipped,
# with that reason. --remove takes all of it away again.
set -eu
if [ "$1" = --remove ]; then
  dir=$2
  [ -d "$dir" ] && chattr -i "$dir" 2>/dev/null || true
  if mountpoint -q "$dir"; then umount "$dir"; fi
  rm -rf "$dir" "$dir.img" "$dir.unavailable"
  exit 0
fi
dir=$1
"$0" --remove "$dir"
mkdir -p "$dir"
if ! chattr +i "$dir" 2>/dev/null; then
  dd if=/dev/zero of="$dir.img" bs=1024 count=1024 2>/dev/null
  mke2fs -q -F -t ext2 "$dir.img"
  if ! mount -o loop "$dir.img" "$dir" 2>/dev/null || ! chattr +i "$dir" 2>/dev/null; then
    echo "neither the immutable attribute nor a loop mount of an ext2 image works here" >"$dir.unavailable"
    echo "make_immutable_temp.sh: $(cat "$dir.unavailable"): the run that needs it is skipped" >&2
    exit 0
  fi
fi
# The attribute holds: a file cannot be created.
if touch "$dir/probe" 2>/dev/null; then
  echo "make_immutable_temp.sh: $dir still takes files" >&2
  exit 1
fi
