#!/usr/bin/env bash
# Starts the built program, or says in one line how to start it when no display is there.
# `run.sh --check PROGRAM` only checks, so `make run` stops before it builds anything.
set -eu
check_only=false
if [ "${1:-}" = "--check" ]; then
  check_only=true
  shift
fi
bin="$1"

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
exec "$bin"
