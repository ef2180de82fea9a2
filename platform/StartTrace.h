// Start-up timing: with SQ_TRACE_START set in the environment, each phase
// mark prints the milliseconds since the process was created and since the
// previous mark to stderr. Without it a mark costs one flag test.
#pragma once

namespace sq::platform {

bool startTraceOn();
// Prints "sq-start <since exec> ms (+<since last>) <phase>" when tracing.
void traceStart(const char* phase);

} // namespace sq::platform
