#!/usr/bin/env bash
# The wire is the same whatever the host's system: the Linux plcsim against plchost.exe under wine
# over 127.0.0.1. Needs the "default" and "mingw" builds. Exit 0 when plchost.exe brought the link
# to state 3 and saw actual values.
# Usage: scripts/interop-wine.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
duration=${1:-10}
plcsim="$root/build/default/tools/plcsim/plcsim"
plchost="$root/build/mingw/bin/plchost.exe"
for tool in "$plcsim" "$plchost"; do
  [[ -f "$tool" ]] || { echo "interop-wine.sh: $tool is missing; build both presets first" >&2; exit 2; }
done

work=$(mktemp -d)
sim_pid=""
# plcsim answers SIGTERM with exit 143, which is no failure of this run.
cleanup() {
  if [[ -n "$sim_pid" ]]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Ports of its own, so that the run never meets the demo's fixed ones.
host_port=$((40000 + RANDOM % 10000))
plc_port=$((host_port + 1))
sed -e "s/\"Port\": 30001/\"Port\": $host_port/" -e "s/\"Port\": 30002/\"Port\": $plc_port/" \
  "$root/examples/common.json" >"$work/common.json"
cp "$root/examples/items.json" "$work/items.json"

"$plcsim" --bind "127.0.0.1:$plc_port" --host "127.0.0.1:$host_port" --items "$work/items.json" \
  --triggers 3 --duration $((duration + 60)) >"$work/plcsim.out" 2>"$work/plcsim.log" </dev/null &
sim_pid=$!

export WINEPREFIX="$root/build/mingw/wineprefix"
status=0
(cd "$work" && sh "$root/cmake/toolchains/wine-run.sh" "$plchost" run common.json \
  --items items.json --out out --duration "$duration" --plain) >"$work/plchost.out" 2>&1 ||
  status=$?
cat "$work/plchost.out"
for line in "plchost: link state 3: online after " "plchost: actual values flowing after "; do
  if ! grep -qF "$line" "$work/plchost.out"; then
    echo "interop-wine.sh: plchost.exe never printed \"$line\"" >&2
    status=1
  fi
done
exit "$status"
