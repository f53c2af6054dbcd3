#!/usr/bin/env bash
# Runs a command inside a private, headless PipeWire session:
#   scripts/pipewire-session.sh COMMAND [ARGS...]
# Starts a session bus (dbus-run-session), pipewire, wireplumber and
# pipewire-pulse in a fresh XDG_RUNTIME_DIR, loads a null sink
# ("korvala_null") and makes it the default output, so what a player sends
# there can be captured from its monitor. Works as root and without a sound
# card. Exits with the command's status, or 77 (skip) with the reason when the
# session cannot start.
set -uo pipefail

if [[ -z "${KORVALA_PIPEWIRE_SESSION:-}" ]]; then
  for tool in dbus-run-session pipewire wireplumber pipewire-pulse pactl; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIP: $tool is missing; bash scripts/install-deps.sh installs the headless sound server" >&2
      exit 77
    fi
  done
  export KORVALA_PIPEWIRE_SESSION=1
  exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v "Failed to set fd limit" >&2)
fi

runtime=$(mktemp -d "${TMPDIR:-/tmp}/korvala-pipewire.XXXXXX")
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
unset PULSE_SERVER PULSE_SINK PULSE_SOURCE PIPEWIRE_REMOTE
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

pipewire >"$runtime/pipewire.log" 2>&1 & pids+=($!)
sleep 0.3
wireplumber >"$runtime/wireplumber.log" 2>&1 & pids+=($!)
pipewire-pulse >"$runtime/pipewire-pulse.log" 2>&1 & pids+=($!)

for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "SKIP: PipeWire did not start in a private session; its logs:" >&2
  tail -n 5 "$runtime"/*.log >&2
  exit 77
fi
if ! pactl load-module module-null-sink sink_name=korvala_null \
     sink_properties=device.description=korvala_null >/dev/null; then
  echo "SKIP: PipeWire started but refused a null sink" >&2
  exit 77
fi
for _ in $(seq 50); do
  pactl list short sinks | grep -q korvala_null && break
  sleep 0.1
done
pactl set-default-sink korvala_null

"$@"
