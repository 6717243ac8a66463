#!/usr/bin/env bash
# Starts the built program, or says in one line how to start it when no display is there.
# When the port it is about to open leads to no device, the module simulator (second
# argument) plays one on that port for as long as the program runs.
set -eu
bin="$1"
sim="${2:-}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: start Zorvane under a virtual one with 'xvfb-run -a $bin'." >&2
  exit 1
fi
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
