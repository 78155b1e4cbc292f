#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The demo: builds the project, starts the simulated PLC (plcsim) and runs plchost against it on
# 127.0.0.1. Within a few seconds the link comes up (state 3), actual values flow, triggered data
# is stored and confirmed, curves are saved as CSV and SVG, and alarms are logged and answered.
# It ends by itself after the duration (or on Ctrl-C) with plchost's and plcsim's summaries.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=1
build_dir="$root/build/default"
duration=15
common="$root/examples/common.json"
items="$root/examples/items.json"
out="$root/build/demo-out"
plain=()
sim_args=()

usage() {
  cat <<'TEXT'
usage: scripts/demo.sh [options]
  --duration S        how long plchost runs (default 15)
  --plain             plain event lines instead of the live screen (automatic without a terminal)
  --out DIR           where curves and logs go (default build/demo-out)
  --common FILE       common file (default examples/common.json); plcsim takes its endpoints
  --items FILE        item dictionary (default examples/items.json)
  --pcap FILE         capture every datagram each way in FILE (pcap), to open in Wireshark
  --sim-arg ARG       one more plcsim argument, e.g. --sim-arg --loss --sim-arg 0.1 (repeatable)
  --no-build          use the binaries already built in the build folder
  --build-dir DIR     build folder (default build/default, the "default" CMake preset)
TEXT
}

while (($# > 0)); do
  case "$1" in
    --duration) duration=${2:?--duration needs seconds}; shift ;;
    --plain) plain=(--plain) ;;
    --out) out=${2:?--out needs a folder}; shift ;;
    --common) common=${2:?--common needs a file}; shift ;;
    --items) items=${2:?--items needs a file}; shift ;;
    --pcap) sim_args+=(--pcap "${2:?--pcap needs a file}"); shift ;;
    --sim-arg) sim_args+=("${2?--sim-arg needs an argument}"); shift ;;
    --no-build) build=0 ;;
    --build-dir) build_dir=${2:?--build-dir needs a folder}; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "demo.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done

if ((build)); then
  bash "$root/scripts/install-deps.sh"
  echo "demo.sh: building (cmake --preset default) ..." >&2
  (cd "$root" && cmake --preset default >/dev/null && cmake --build --preset default) >&2
fi
plchost="$build_dir/tools/plchost/plchost"
plcsim="$build_dir/tools/plcsim/plcsim"
for tool in "$plchost" "$plcsim"; do
  if [[ ! -x "$tool" ]]; then
    echo "demo.sh: $tool is missing; build first or leave out --no-build" >&2
    exit 2
  fi
done

# The PLC's endpoint, the host's endpoint and the protocol version come from the common file,
# as plchost check reads them.
if ! report=$("$plchost" check "$common" --items "$items" 2>&1); then
  echo "$report" >&2
  echo "demo.sh: $common cannot be used" >&2
  exit 2
fi
host_endpoint=$(sed -n 's/^ *Src  (this host): *//p' <<<"$report")
plc_endpoint=$(sed -n 's/^ *Host (the PLC): *//p' <<<"$report")
version=$(sed -n 's/^ *Protocol: version \([0-9]*\),.*/\1/p' <<<"$report")
# With the count of trigger definitions plcsim notices a trigger download that stopped on a lost
# acknowledgement, and asks for a fresh download instead of going on without the rest.
triggers=$(sed -n 's/^ *Triggers: \([0-9]*\).*/\1/p' <<<"$report")

mkdir -p "$out"
sim_log="$out/plcsim.log"
sim_summary="$out/plcsim.out"
"$plcsim" --bind "$plc_endpoint" --host "$host_endpoint" --version "$version" --items "$items" \
  --triggers "$triggers" --shot-interval 1500 --alarm-interval 4000 --duration $((${duration%.*} + 30)) \
  "${sim_args[@]}" >"$sim_summary" 2>"$sim_log" </dev/null &
sim_pid=$!

stop_sim() {
  if kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
  fi
  wait "$sim_pid" 2>/dev/null || true
}
trap stop_sim EXIT
# Ctrl-C reaches plchost too; it ends with its summary, and the script goes on to stop plcsim.
trap 'true' INT

# plcsim announces its endpoint once it is bound; it fails at once when the port is taken.
deadline=$((SECONDS + 10))
until grep -q '^plcsim: PLC on' "$sim_log" 2>/dev/null; do
  if ! kill -0 "$sim_pid" 2>/dev/null || ((SECONDS >= deadline)); then
    cat "$sim_log" >&2
    echo "demo.sh: plcsim did not start on $plc_endpoint" >&2
    exit 1
  fi
  sleep 0.05
done
echo "demo.sh: $(head -n 1 "$sim_log")" >&2

status=0
"$plchost" run "$common" --items "$items" --out "$out" --duration "$duration" "${plain[@]}" ||
  status=$?
stop_sim
trap - EXIT
cat "$sim_summary"
echo "demo.sh: curves and logs in $out (plcsim's own lines: $sim_log)"
exit "$status"
