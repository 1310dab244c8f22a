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
