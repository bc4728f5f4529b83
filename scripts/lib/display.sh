# Sourced by scripts: a virtual X display for Windows programs under Wine.
# start_display sets DISPLAY; stop_display ends only the Xvfb started here.

XVFB_PID=""

start_display() {
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 50); do
      if [ -e "/tmp/.X11-unix/X${n}" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  done
  echo "no free X display for Xvfb" >&2
  return 1
}

stop_display() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

# Ends the wineserver of one prefix, and nothing else.
stop_wine_prefix() {
  local prefix=$1
  if [ -d "$prefix" ]; then
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  fi
}
