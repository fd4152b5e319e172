# Sourced by scripts/test-windows: a private X display (unless $DISPLAY is set) and a fresh 64-bit
# Wine prefix in a temporary folder, and their teardown.
#   wine_env_start   sets DISPLAY, WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES,
#                    WINE_ENV_DIR (a scratch folder) and WINE_ENV_INIT_SECONDS
#   wine_env_stop    ends the Wine server, then Xvfb, and removes the scratch folder

WINE_ENV_XVFB_PID=""
WINE_ENV_DIR=""

wine_env_start() {
  WINE_ENV_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tc-wine.XXXXXX") || return 1
  if [ -z "${DISPLAY:-}" ]; then
    local fd_file="$WINE_ENV_DIR/display"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fd_file" 2>/dev/null &
    WINE_ENV_XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
    [ -s "$fd_file" ] || { echo "wine_env: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n 1 "$fd_file")"
  fi
  export WINEPREFIX="$WINE_ENV_DIR/prefix"
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No .NET or HTML engine: their installers would be offered at prefix creation.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  local start=$SECONDS
  # wineboot returns before the prefix is ready; the server's exit marks the end.
  wineboot -i >/dev/null 2>&1 || return 1
  wineserver -w
  WINE_ENV_INIT_SECONDS=$((SECONDS - start))
  [ -f "$WINEPREFIX/system.reg" ]
}

wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
  fi
  if [ -n "$WINE_ENV_XVFB_PID" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null
  fi
  [ -n "$WINE_ENV_DIR" ] && rm -rf "$WINE_ENV_DIR"
  return 0
}
