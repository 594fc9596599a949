#!/usr/bin/env bash
# Builds the configurator and starts it beside a simulated device on a virtual serial
# port, with that port already chosen in the port box: press Connect and configure.
# The simulated device is the eight-relay output module; extra arguments go to the
# simulator, e.g. --device unknown, --device bootloader to try a firmware update with
# the sample image, or --bus do8@1,ind4@5 for several devices on one line (see:
# build/bin/tavrolix-devsim --help).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug
cmake --build build -j"$(nproc)"

simdir=${TAVROLIX_SIM_DIR:-/tmp/tavrolix-sim}
mkdir -p "$simdir"
log=$(mktemp)

# As a bootloader the simulator checks every image it receives against the sample image,
# copied where the firmware window's file dialog finds it easily.
args=("$@")
if [[ " $* " == *" bootloader "* || " $* " == *"=bootloader "* ]] && [[ " $* " != *" --expect"* ]]; then
    cp tools/devsim/samples/sample-firmware.enc "$simdir/"
    args+=(--expect "$simdir/sample-firmware.enc")
    echo "Sample image to upload: $simdir/sample-firmware.enc"
fi
# A bus names its own devices.
device=(--device do8)
if [[ " $* " == *" --bus"* ]]; then
    device=()
fi
build/bin/tavrolix-devsim "${device[@]}" --virtual "$simdir" --preset-configurator "${args[@]}" \
    >"$log" 2>&1 &
simulator=$!
trap 'kill "$simulator" 2>/dev/null; wait "$simulator" 2>/dev/null; rm -f "$log"' EXIT

for _ in $(seq 100); do
    grep -q 'Open this port' "$log" && break
    kill -0 "$simulator" 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.1
done
# The simulator's lines (requests, relay states, saves) follow in this terminal.
tail -n +1 -f --pid="$simulator" "$log" &

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: the configurator runs on a virtual display (xvfb-run)."
    xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/configurator
else
    build/bin/configurator
fi
