#!/usr/bin/env bash
# Builds the threaded tests (the browser's, the views loaded side by side,
# the resampling along the decode, the slide and list views' ahead loaders)
# with ThreadSanitizer (build-tsan/) and
# runs them (not tst_panelbudget, whose memory ceilings the checker's own
# memory overruns). Qt itself is not instrumented; its own locks are seen through
# the pthread interceptors.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/install-deps.sh"
build="$top/build-tsan"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSQ_TSAN=ON -DSQ_BENCH=OFF
targets=(tst_panelstress tst_panelpool tst_imgpanel tst_shellchange tst_imgbox tst_quickview
  tst_budget tst_workpool tst_resample tst_fitstream tst_viewahead tst_hidpi tst_slideahead
  tst_filelistahead tst_listview tst_slideview tst_slidefile)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
cd "$build"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$top/tests/support/tsan.supp"
ctest --output-on-failure -R "^($(IFS='|'; echo "${targets[*]}"))\$" "$@"
