#!/usr/bin/env bash
# Builds the developer configuration and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

# --packaging: tshark and man for the dissector and man page tests.
bash scripts/install-deps.sh --packaging
cmake --preset default
cmake --build --preset default
ctest --preset default
