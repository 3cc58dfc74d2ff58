#!/bin/sh
# Batch benchmark: moves DEVICES simulated devices (default 30) that answer DELAY ms late
# (default 0) with the "Change addresses" dialog and prints the time from Apply to the last verified row against the floor of the
# exchanges (two round trips per device and one whole search), with the longest stall of the
# dialog's event loop. In network and IPC namespaces of its own, on lo only.
#
# Usage: bench/batch-bench.sh [BUILD_DIR] [DEVICES] [DELAY]   (default: build, 30, 0)
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
bench=$build/bench/batchbench
[ -x "$bench" ] || { echo "missing $bench: build the target batchbench" >&2; exit 1; }
exec "$top/tests/netns-run" env QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="*.debug=false" "$bench" ${2:-30} ${3:-0}
