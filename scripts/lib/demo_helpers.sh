# Sourced by scripts/demo: its steps' small helpers. Expects $root and $out.

step() { printf '\n== %s\n' "$*"; }
fail() { echo "demo: $*" >&2; exit 1; }

# build_preset PRESET SUFFIX TARGET...: configure and build into build/PRESET SUFFIX.
build_preset() {
  local preset=$1 suffix=$2
  shift 2
  local dir="$root/build/$preset$suffix" log="$out/logs/build-$preset.log"
  echo "$preset: building ${*} in $dir"
  if cmake --preset "$preset" -B "$dir" >"$log" 2>&1 && cmake --build "$dir" --target "$@" >>"$log" 2>&1; then
    return 0
  fi
  tail -n 30 "$log" >&2
  echo "demo: the $preset build failed (log: $log)" >&2
  return 1
}

# drive DRIVER ARGS...: runs the window driver in the demo's Wine prefix.
drive() {
  local driver=$1
  shift
  "$root/scripts/wine-run" "$prefix" "$driver" "$@" 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# The Windows name of a Linux path: Wine's drive Z: is the root.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# The Windows name of a directory inside the prefix's drive C:, with a backslash.
windows_path_in_prefix() {
  local rest=${2#"$1/drive_c"}
  printf 'C:%s\\' "${rest//\//\\}"
}

staging_dirs() { find "$1/drive_c" -maxdepth 7 -type d -name '_Orvane3d*' 2>/dev/null | sort; }

# The staging directory that appeared since `before` was taken; waits up to 10 s.
new_staging_dir() {
  local prefix=$1 before=$2 found="" i
  for i in $(seq 1 20); do
    found=$(comm -13 <(printf '%s\n' "$before") <(staging_dirs "$prefix") | tail -n 1)
    [ -n "$found" ] && break
    sleep 0.5
  done
  printf '%s' "$found"
}

screenshot() {
  xwd -root -silent -display "$DISPLAY" 2>/dev/null | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null
  [ -s "$1" ] || { echo "demo: no screenshot (xwd, xwdtopnm or pnmtopng failed)" >&2; return 1; }
}

# Watches the staging directory while the preloader cleans up, for at most
# `seconds`, and tells what it saw.
# `start` is when the installer finished, as date +%s.%N gave it.
watch_cleanup() {
  local staging=$1 pid=$2 seconds=$3 start=$4 installer_gone=0 elapsed
  while :; do
    elapsed=$(awk -v s="$start" -v n="$(date +%s.%N)" 'BEGIN { printf "%.1f", n - s }')
    if [ $installer_gone -eq 0 ] && [ ! -e "$staging/INSTALL.EXE" ]; then
      echo "after ${elapsed} s: INSTALL.EXE deleted"
      installer_gone=1
    fi
    if [ ! -d "$staging" ]; then
      echo "after ${elapsed} s: the staging directory removed (the installer had left it empty)"
      return 0
    fi
    if ! kill -0 "$pid" 2>/dev/null || awk -v e="$elapsed" -v m="$seconds" 'BEGIN { exit !(e >= m) }'; then
      echo "the staging directory stays: the preloader removes it only when the installer left it empty;"
      echo "it still holds: $(ls "$staging" | tr '\n' ' ')"
      return 0
    fi
    sleep 0.2
  done
}

# Sets exit_code to the exit code of background job `pid`, or to "timeout".
# Not for $(...): a subshell cannot wait for the script's own jobs.
wait_exit_code() {
  local pid=$1 seconds=$2 i
  exit_code=timeout
  for i in $(seq 1 $((seconds * 5))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      exit_code=$?
      return
    fi
    sleep 0.2
  done
}

# Windows in a Wine desktop of their own, which draws their frames and
# captions: the virtual display has no window manager to do it.
use_wine_desktop() {
  "$root/scripts/wine-run" "$prefix" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Demo /f >/dev/null 2>&1
  "$root/scripts/wine-run" "$prefix" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Demo /d 1024x768 /f >/dev/null 2>&1
}
