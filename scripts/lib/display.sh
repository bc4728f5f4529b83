# Sourced by scripts: a virtual X display for Windows programs under Wine.
# start_display sets DISPLAY; stop_display ends only the Xvfb started here.

XVFB_PID=""

# Xvfb picks the display number itself (-displayfd) and tells it once it
# listens: choosing a free number here and then starting a server on it
# would let two scripts that start at the same moment share one server, and
# the first to finish would end it under the other.
start_display() {
  local told n=""
  told=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$told" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 300); do
    n=$(head -n 1 "$told" 2>/dev/null)
    [ -n "$n" ] && [ "$(wc -l <"$told")" -ge 1 ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    n=""
    sleep 0.1
  done
  rm -f "$told"
  if [ -n "$n" ]; then
    export DISPLAY=":$n"
    return 0
  fi
  kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
  echo "no virtual X display: Xvfb did not start" >&2
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
