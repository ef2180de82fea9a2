#!/usr/bin/env bash
# Installs what is missing, builds Sorrelquint and starts it on the folder
# given as the first argument (optional).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/install-deps.sh"
cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSQ_TESTS=OFF -DSQ_BENCH=OFF
cmake --build "$top/build-release" --target sorrelquint
exec "$top/build-release/sorrelquint" "$@"
