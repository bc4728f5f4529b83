#!/usr/bin/env bash
# `cmake --install` of a build into a fresh prefix: the tree holds setuppack,
# its man page (which groff renders without a warning), the documents and the
# license, all of one version; and the installed setuppack, moved with its
# tree to another prefix, still finds the preloader in the tree's share/ and
# makes a medium with it.
#
#   check_install.sh BUILD_DIR VERSION PRELOADER
#
# PRELOADER stands in for SETUP.EXE where the build has none (the host
# build).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
version=$2
small_preloader=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

cmake --install "$build" --prefix "$work/usr" >"$work/install.log" 2>&1 || {
  cat "$work/install.log"
  fail "cmake --install failed"
  exit 1
}
for file in bin/setuppack share/man/man1/setuppack.1 share/doc/preloader/README.md \
  share/doc/preloader/LICENSE share/doc/preloader/docs/FORMAT.md; do
  [ -f "$work/usr/$file" ] || fail "$file is not installed"
done
[ -x "$work/usr/bin/setuppack" ] || fail "bin/setuppack is not executable"
echo "installed: $(cd "$work/usr" && find . -type f | sort | tr '\n' ' ')"

shown=$("$work/usr/bin/setuppack" --version)
[ "$shown" = "setuppack $version" ] || fail "setuppack --version says \"$shown\", not \"setuppack $version\""
grep -q "^\.TH SETUPPACK 1 .*\"setuppack $version\"" "$work/usr/share/man/man1/setuppack.1" ||
  fail "the man page does not carry version $version"
if command -v groff >/dev/null; then
  groff -ww -man -Tutf8 "$work/usr/share/man/man1/setuppack.1" >"$work/man.txt" 2>"$work/man.err"
  if [ -s "$work/man.err" ]; then
    cat "$work/man.err"
    fail "groff warns about the man page"
  fi
  grep -q "SOURCE_DATE_EPOCH" "$work/man.txt" || fail "the man page renders without its ENVIRONMENT section"
else
  echo "groff is not installed: the man page is not rendered"
fi

# A build without a preloader of its own (the host build) installs none; put
# one where the tree keeps it, as a release does.
preloader=$work/usr/share/preloader/SETUP.EXE
if [ ! -f "$preloader" ]; then
  mkdir -p "$(dirname "$preloader")"
  cp "$small_preloader" "$preloader"
fi
mkdir -p "$work/payload"
printf 'MZ stand-in' >"$work/payload/INSTALL.EXE"
mv "$work/usr" "$work/moved"
if "$work/moved/bin/setuppack" medium -q --unbound "$work/medium" "$work/payload"; then
  cmp -s "$work/moved/share/preloader/SETUP.EXE" "$work/medium/SETUP.EXE" ||
    fail "the medium's SETUP.EXE is not the installed preloader"
  "$work/moved/bin/setuppack" test -q "$work/medium/SETUP.TMP" || fail "the medium's SETUP.TMP does not pass test"
  "$work/moved/bin/setuppack" medium -q "$work/bound" "$work/payload" || fail "the installed setuppack bound no medium"
  "$work/moved/bin/setuppack" verify "$work/bound" >/dev/null || fail "the bound medium does not verify"
  echo "the installed setuppack, moved to another prefix, found share/preloader/SETUP.EXE"
else
  fail "the installed setuppack made no medium"
fi
[ "$status" -eq 0 ] && echo "install tree complete"
exit "$status"
