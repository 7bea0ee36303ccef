# Drives the real program under Xvfb with xdotool, as a user at the keyboard
# would. Sourced by tools/screenshots.sh and tools/check_installed.sh.

# Starts Xvfb on a free display and exports DISPLAY.
xdrive_start_display() {
  local n
  for n in $(seq 91 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -ac -nolisten tcp >/dev/null 2>&1 &
      XDRIVE_XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        sleep 0.1
      done
      echo "Xvfb did not start on :$n" >&2
      return 1
    fi
  done
  echo "no free X display" >&2
  return 1
}

xdrive_stop_display() {
  [ -n "${XDRIVE_XVFB_PID:-}" ] && kill "$XDRIVE_XVFB_PID" 2>/dev/null || true
}

# win "exact title": the id of the visible window with that title (waits for it).
win() {
  local id="" i
  for i in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "window not found: $1" >&2
  return 1
}

# gone "exact title": waits until no visible window has that title.
gone() {
  local i
  for i in $(seq 1 100); do
    [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  echo "window still open: $1" >&2
  return 1
}

focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.3; }
keys() { xdotool key --delay 80 "$@"; sleep 0.4; }
typ() { xdotool type --delay 40 "$1"; sleep 0.2; }

# menu X: clicks the start screen's menu bar at X pixels from its left edge
# ("Opções do Modelo" 65, "Simulação" 166, "Ajuda" 229, "Sair" 272).
menu() {
  local e
  e=$(win "Tavelo - vs 2.0") || return 1
  xdotool mousemove --window "$e" "$1" 9 click 1
  sleep 0.8
}

# shot ID FILE: the window's picture.
shot() { sleep 0.3; import -window "$1" "$2"; }
