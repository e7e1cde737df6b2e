// Work on large curves spread over the processor's cores: the reader and the writer of big curve files and
// the sums of a fit over many points.
#pragma once

#include <cstdint>
#include <functional>

// Runs part(k) for every k in 0 .. parts - 1 and returns when all have run. This thread takes parts in turn
// while helper threads (at most one per further core) take others; a helper that starts late, as on a busy
// machine, finds nothing left and ends, so this thread never waits for one that has not begun. Each part runs
// once, on some thread; parts must not depend on one another. The floating-point fault flags a helper raises
// are raised again on this thread, where the fault guard of a command looks for them. An exception thrown by
// a part is thrown here once every part has ended.
void ParallelFor(int32_t parts, const std::function<void(int32_t)>& part);

// Threads ParallelFor would use for that many parts (1 means all run on this thread).
int ParallelThreads(int32_t parts);

// Caps the threads ParallelFor uses on this thread while it lives: several fits run at once share the cores
// instead of each taking all of them. Caps do not raise an outer cap.
class TThreadCap {
public:
    explicit TThreadCap(int threads);
    ~TThreadCap();
    TThreadCap(const TThreadCap&) = delete;
    TThreadCap& operator=(const TThreadCap&) = delete;

private:
    int outer_;
};
