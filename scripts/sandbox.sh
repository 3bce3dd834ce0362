#!/usr/bin/env bash
# The environment tests run in: no display, no sound card, no session bus, and
# private runtime, config, data and cache directories that are removed at
# exit. Source it to keep the environment for the rest of a script, or run it
# with a command: scripts/sandbox.sh ctest --test-dir build
sandbox=$(mktemp -d)
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox"/{runtime,config,data,cache}
chmod 700 "$sandbox/runtime"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export XDG_RUNTIME_DIR="$sandbox/runtime" XDG_CONFIG_HOME="$sandbox/config"
export XDG_DATA_HOME="$sandbox/data" XDG_CACHE_HOME="$sandbox/cache"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$sandbox/runtime/no-bus"
unset DISPLAY WAYLAND_DISPLAY

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  "$@"
fi
