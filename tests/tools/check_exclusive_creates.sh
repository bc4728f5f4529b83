#!/usr/bin/env bash
# Every file that `setuppack create`, `medium` and `extract` make is created
# exclusively, and nothing that exists is opened for writing: under strace,
# every open that may create or write a file carries O_EXCL. A file that
# replaces another is on the disk before the rename (one fsync each), so a
# crash cannot leave an empty file where the old one was; a new name is not
# waited for.
#
#   check_exclusive_creates.sh SETUPPACK PRELOADER
#
# Exits 77 (skipped) where strace is missing or may not trace.
set -uo pipefail
setuppack=$1

command -v strace >/dev/null || { echo "strace is not installed"; exit 77; }
strace -o /dev/null true 2>/dev/null || { echo "strace may not trace here"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/payload" "$work/out"
printf 'MZ stand-in' >"$work/payload/INSTALL.EXE"
seq 1 40000 >"$work/payload/DATA.TXT"
printf 'old' >"$work/out/DATA.TXT"  # extract replaces it

status=0
traced() {
  local log=$1
  shift
  strace -f -o "$log" -e trace=open,openat,openat2,creat,fsync,fdatasync "$setuppack" "$@" || {
    echo "setuppack $* failed"
    status=1
  }
}
traced "$work/create1.log" create -q -j 1 "$work/SETUP.TMP" "$work/payload"
traced "$work/create2.log" create -q -j 2 "$work/SETUP.TMP" "$work/payload"
traced "$work/extract1.log" extract -q -j 1 -C "$work/out" "$work/SETUP.TMP"
traced "$work/extract2.log" extract -q -j 2 -C "$work/out" "$work/SETUP.TMP"
cp "$2" "$work/preloader.exe"
traced "$work/medium.log" medium -q --autorun --preloader "$work/preloader.exe" "$work/medium" "$work/payload"

for log in "$work"/create1.log "$work"/create2.log "$work"/extract1.log "$work"/extract2.log "$work"/medium.log; do
  name=$(basename "$log" .log)
  writing=$(grep -E 'O_CREAT|O_WRONLY|O_RDWR|O_TRUNC|creat\(' "$log")
  if [ -z "$writing" ]; then
    echo "$name: no file was created"
    status=1
  fi
  unsafe=$(grep -v 'O_EXCL' <<<"$writing" | grep -v '^$')
  if [ -n "$unsafe" ]; then
    echo "$name: opened for writing without O_EXCL:"
    echo "$unsafe"
    status=1
  fi
  echo "$name: $(grep -c . <<<"$writing") files created, each with O_EXCL"
done
# What each run replaced: create2 the container of create1; extract1
# DATA.TXT ("old"), not INSTALL.EXE; extract2 both members of extract1.
for expected in create1:0 create2:1 extract1:1 extract2:2; do
  name=${expected%:*}
  syncs=$(grep -cE '^[0-9]+ +f(data)?sync\(' "$work/$name.log")
  if [ "$syncs" != "${expected#*:}" ]; then
    echo "$name: $syncs files flushed to the disk, expected ${expected#*:}"
    status=1
  fi
done
cmp -s "$work/payload/DATA.TXT" "$work/out/DATA.TXT" || { echo "extract did not replace DATA.TXT"; status=1; }
exit "$status"
