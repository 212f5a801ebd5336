# Sourced by the run and test scripts: starts a private Xvfb display and exports DISPLAY.
# The display is stopped when the calling script exits.
start_private_display() {
  local n=90
  while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
  Xvfb ":${n}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  QRN_XVFB_PID=$!
  trap 'kill "$QRN_XVFB_PID" 2>/dev/null || true' EXIT
  export DISPLAY=":${n}"
  for _ in $(seq 1 100); do
    if xdpyinfo >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "could not start Xvfb on ${DISPLAY}" >&2
  return 1
}
