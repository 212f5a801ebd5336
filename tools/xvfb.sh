# Sourced by the run and test scripts: starts a private Xvfb display and exports DISPLAY.
# Xvfb picks a free display number itself (-displayfd) and reports it once it accepts
# clients; a server that does not come up within 10 s, or dies, is an error, and
# private_display_alive tells whether it is still running. The server does not reset when
# its last client leaves (a program starting just then would find no display). The display
# is stopped when the calling script exits.
start_private_display() {
  QRN_XVFB_DIR=$(mktemp -d "${TMPDIR:-/tmp}/qrn-xvfb.XXXXXX")
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$QRN_XVFB_DIR/display" \
    >"$QRN_XVFB_DIR/log" 2>&1 &
  QRN_XVFB_PID=$!
  trap 'kill "$QRN_XVFB_PID" 2>/dev/null || true; rm -rf "$QRN_XVFB_DIR"' EXIT
  local number=""
  for _ in $(seq 1 100); do
    # The number comes with a line end once the server is ready.
    if grep -q '^[0-9][0-9]*$' "$QRN_XVFB_DIR/display" 2>/dev/null; then
      number=$(head -n 1 "$QRN_XVFB_DIR/display")
      break
    fi
    if ! kill -0 "$QRN_XVFB_PID" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [ -z "$number" ] || ! kill -0 "$QRN_XVFB_PID" 2>/dev/null; then
    echo "could not start Xvfb:" >&2
    sed 's/^/  Xvfb: /' "$QRN_XVFB_DIR/log" >&2
    return 1
  fi
  export DISPLAY=":${number}"
}

# True while the private display's server runs; otherwise says so on standard error.
private_display_alive() {
  if [ -n "${QRN_XVFB_PID:-}" ] && kill -0 "$QRN_XVFB_PID" 2>/dev/null; then return 0; fi
  echo "the private display ${DISPLAY:-} (Xvfb) has died:" >&2
  sed 's/^/  Xvfb: /' "$QRN_XVFB_DIR/log" >&2 2>/dev/null || true
  return 1
}
