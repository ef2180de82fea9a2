#include "platform/StartTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace sq::platform {

namespace {

double nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_BOOTTIME, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// The process's creation on the same clock: field 22 of /proc/self/stat, in
// clock ticks since boot. Read once; the name in field 2 may hold spaces, so
// the fields are counted from its closing parenthesis.
double processStartMs()
{
    FILE* f = std::fopen("/proc/self/stat", "re");
    if (!f) return nowMs();
    char buf[1024];
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    const char* p = std::strrchr(buf, ')');
    if (!p) return nowMs();
    unsigned long long start = 0;
    // After ")": fields 3 (state) to 21 skipped, 22 read.
    if (std::sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
                    &start) != 1)
        return nowMs();
    return double(start) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

struct Trace
{
    bool on = std::getenv("SQ_TRACE_START") != nullptr;
    double start = on ? processStartMs() : 0;
    double last = start;
    std::mutex lock;
};

Trace& trace()
{
    static Trace t;
    return t;
}

} // namespace

bool startTraceOn()
{
    return trace().on;
}

void traceStart(const char* phase)
{
    Trace& t = trace();
    if (!t.on) return;
    const std::lock_guard<std::mutex> hold(t.lock);
    const double now = nowMs();
    std::fprintf(stderr, "sq-start %8.1f ms (+%6.1f) %s\n", now - t.start, now - t.last, phase);
    t.last = now;
}

} // namespace sq::platform
