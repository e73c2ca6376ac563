#!/usr/bin/env bash
# `make run`: the desktop window on the stand-ins. Starts vantrell-sim on free local
# ports, makes an app folder whose Data/Hosts.ini points every role at them, opens the
# window on it and stops the stand-ins when the window closes.
# Usage: scripts/run-desktop.sh BUILD_DIR [extra vantrell options]
set -euo pipefail
build=${1:-build}
shift || true
bin="$build/bin"
run_dir="$bin/run-desktop"
log="$run_dir/sim.log"
rm -rf "$run_dir"
mkdir -p "$run_dir"
cp -r "$bin/Data" "$bin/DataBase" "$bin/Log" "$bin/images" "$run_dir/" 2>/dev/null || true
mkdir -p "$run_dir/Data" "$run_dir/DataBase" "$run_dir/Log" "$run_dir/images"

"$bin/vantrell-sim" --source-port 0 --market-port 0 >"$log" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    grep -q ready "$log" && break
    sleep 0.1
done
origins=($(grep -oE 'http://127\.0\.0\.1:[0-9]+' "$log"))
if [ ${#origins[@]} -lt 2 ]; then
    echo "run-desktop: the stand-ins did not start:" >&2
    cat "$log" >&2
    exit 1
fi
store=${origins[0]}
market=${origins[1]}
bash "$(dirname "$0")/stand-in-hosts" "$store" "$market" >"$run_dir/Data/Hosts.ini"
echo "run-desktop: bookstore $store, marketplace $market, app folder $run_dir"
export no_proxy=127.0.0.1 NO_PROXY=127.0.0.1
# The login dialogs' embedded browser (Chromium) will not start as root inside its sandbox.
if [ "$(id -u)" -eq 0 ] && [ -z "${QTWEBENGINE_CHROMIUM_FLAGS:-}" ]; then
    export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"
fi
"$bin/vantrell" --app-dir "$run_dir" "$@"
