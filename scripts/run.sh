#!/usr/bin/env bash
# Starts the built program, or says in one line how to start it when no display is there.
# `run.sh --check PROGRAM` only checks, so `make run` stops before it builds anything.
# When the port the program is about to open leads to no device, the module simulator (second
# argument) plays one on that port for as long as the program runs.
set -eu
check_only=false
if [ "${1:-}" = "--check" ]; then
  check_only=true
  shift
fi
bin="$1"
sim="${2:-}"

# A DISPLAY left over from a closed session names a server that is gone: a local one
# (":0", ":1.0") must have its socket.
x_display_there() {
  local d="${DISPLAY:-}"
  [ -n "$d" ] || return 1
  case "$d" in
    :*) local n="${d#:}"; n="${n%%.*}"; [ -S "/tmp/.X11-unix/X$n" ] ;;
    *) return 0 ;;
  esac
}

wayland_there() {
  local w="${WAYLAND_DISPLAY:-}"
  [ -n "$w" ] || return 1
  case "$w" in
    /*) [ -S "$w" ] ;;
    *) [ -S "${XDG_RUNTIME_DIR:-/nonexistent}/$w" ] ;;
  esac
}

if ! x_display_there && ! wayland_there && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: start Zorvane under a virtual one with 'xvfb-run -a $bin'." >&2
  exit 1
fi
$check_only && exit 0
[ -n "$sim" ] && [ -x "$sim" ] || exec "$bin"

said="$(mktemp)"
"$sim" --settings-port --unless-present >"$said" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$said"' EXIT
# Its first line says either that it is ready or that a device is there already.
for _ in $(seq 100); do
  [ -s "$said" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.05
done
if grep -q ' is /dev/' "$said"; then
  echo "No device on the port Zorvane opens: a simulated module answers there ($(head -n1 "$said" | sed 's/^zorvane-sim: //; s/;.*//'))."
else
  # A device is there, so Zorvane runs alone; anything else is the simulator's complaint.
  wait "$sim_pid" 2>/dev/null || true
  if ! grep -q 'no simulator needed' "$said"; then cat "$said" >&2; fi
fi
"$bin"
