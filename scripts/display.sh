# Sourced by the scripts that run Windows programs on an X server of their
# own: the Wine settings they share, and a private Xvfb display.
#
# corvasi_quiet_wine         exports WINEPREFIX (build/wineprefix unless set),
#                            no Wine debug output and no Mono or Gecko
#                            installer pop-ups
# corvasi_start_display N S  starts Xvfb with screen S (WxHxD) on the first
#                            free display from :N, exports DISPLAY, sets
#                            xvfb_pid and waits until the server listens;
#                            the caller kills xvfb_pid when it ends
# corvasi_keep_wineserver    one Wine server kept for the prefix, which is
#                            made when it is missing (WINEPREFIX and
#                            CORVASI_WINE set)
# corvasi_render_session N   for the scripts that run the renderer: what is
#                            missing installed, the renderer of the tree this
#                            host runs (render; built when missing), quiet
#                            Wine, a private display from :N and a scratch
#                            folder (work), both gone when the script exits

corvasi_quiet_wine() {
  export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
}

corvasi_start_display() { # first-display screen
  local display=$1
  while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
  Xvfb :$display -screen 0 "$2" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$display
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
}

corvasi_keep_wineserver() {
  mkdir -p "$WINEPREFIX"
  wineserver -p
  if [ ! -f "$WINEPREFIX/.update-timestamp" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    "$CORVASI_WINE" wineboot -i >/dev/null 2>&1
  fi
}

corvasi_render_session() { # first-display
  bash scripts/install-deps.sh
  . scripts/wine-env.sh
  render=build/$CORVASI_TARGET/corvasi-render.exe
  [ -x "$render" ] || bash scripts/build.sh "$CORVASI_TARGET"
  corvasi_quiet_wine
  corvasi_start_display "$1" 1024x768x24
  work=$(mktemp -d)
  trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
}
