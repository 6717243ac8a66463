#!/usr/bin/env bash
# Starts the built program, or says in one line how to start it when no display is there.
set -eu
bin="$1"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: start Zorvane under a virtual one with 'xvfb-run -a $bin'." >&2
  exit 1
fi
exec "$bin"
