# Sourced by test.sh and run.sh: gives what follows an X display for the
# editor's windows and menus. A DISPLAY already set (not empty) is used as it
# is; otherwise a virtual one is started (Xvfb, with openbox as its window
# manager and xsettingsd serving the desktop settings, as a desktop has both)
# and stopped again when the sourcing script exits. Fails, with DISPLAY left
# unset, where none could be started: never is another display (":0",
# whoever's it is) taken in its place. The caller decides what follows:
# test.sh lets the window tests skip, run.sh stops.

pellion_virtual_display_pids=()

pellion_stop_virtual_display() {
  local pid
  for pid in "${pellion_virtual_display_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  pellion_virtual_display_pids=()
}

# Serves the desktop settings on DISPLAY (scripts/xsettingsd.conf says why) and
# waits until they are served; warns, and goes on without, where it cannot.
pellion_start_settings_owner() {
  if ! command -v xsettingsd >/dev/null; then
    echo "display: no xsettingsd (apt install xsettingsd): the first editor forks to run gsettings" >&2
    return 0
  fi
  xsettingsd -c "$(dirname "${BASH_SOURCE[0]}")/xsettingsd.conf" >/dev/null 2>&1 &
  pellion_virtual_display_pids+=("$!")
  local tries=0
  until dump_xsettings >/dev/null 2>&1; do
    if [ $tries -ge 300 ]; then
      echo "display: xsettingsd did not serve the desktop settings within 30 s: the first editor forks to run gsettings" >&2
      return 0
    fi
    sleep 0.1; tries=$((tries + 1))
  done
}

pellion_start_virtual_display() {
  if [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  unset DISPLAY
  if ! command -v Xvfb >/dev/null || ! command -v openbox >/dev/null; then
    echo "display: no Xvfb or openbox (apt install xvfb openbox), so no display of our own" >&2
    return 1
  fi

  local numberFile
  numberFile="$(mktemp)"
  # -displayfd picks a free display number and writes it once the server is ready.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
  pellion_virtual_display_pids+=("$!")
  trap pellion_stop_virtual_display EXIT

  local tries=0
  while [ ! -s "$numberFile" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
  if [ ! -s "$numberFile" ]; then
    echo "display: Xvfb did not start, so no display of our own" >&2
    rm -f "$numberFile"
    pellion_stop_virtual_display
    return 1
  fi

  export DISPLAY=":$(head -n1 "$numberFile")"
  rm -f "$numberFile"
  pellion_start_settings_owner
  openbox --sm-disable >/dev/null 2>&1 &
  pellion_virtual_display_pids+=("$!")
  sleep 0.5
  echo "display: Xvfb with openbox on $DISPLAY"
}
