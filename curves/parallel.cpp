#include "curves/parallel.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// What this thread and its helpers share. Helpers hold it by a shared pointer: one that starts after all
// parts are done finds it still there, sees nothing left and ends without touching anything else.
struct TShared {
    std::atomic<int32_t> next{0};
    std::atomic<int32_t> done{0};
    std::atomic<int> raised{0};
    int32_t parts = 0;
    const std::function<void(int32_t)>* part = nullptr; // valid while some part is not done
    std::mutex lock;
    std::condition_variable finished;
    std::exception_ptr failure; // the first exception a part threw (under lock)

    // Runs the parts not yet taken. A helper records the fault flags of its thread before it counts a part
    // done, so that they are all known once every part is. An exception (no memory, say) is kept for the
    // calling thread to throw once every part has ended.
    void Work(bool helper) {
        for (int32_t k; (k = next.fetch_add(1)) < parts;) {
            try {
                (*part)(k);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(lock);
                if (!failure) failure = std::current_exception();
            }
            if (helper) raised.fetch_or(std::fetestexcept(FE_ALL_EXCEPT));
            if (done.fetch_add(1) + 1 == parts) {
                const std::lock_guard<std::mutex> hold(lock);
                finished.notify_all();
            }
        }
    }
};

thread_local int threadCap = 0; // 0: no cap

} // namespace

TThreadCap::TThreadCap(int threads) : outer_(threadCap) {
    threadCap = outer_ > 0 ? std::min(outer_, std::max(threads, 1)) : std::max(threads, 1);
}

TThreadCap::~TThreadCap() {
    threadCap = outer_;
}

int ParallelThreads(int32_t parts) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int most = threadCap > 0 ? std::min(threadCap, 8) : std::min(cores, 8);
    return std::clamp(std::min(parts, int32_t{64}), 1, most);
}

void ParallelFor(int32_t parts, const std::function<void(int32_t)>& part) {
    const int threads = ParallelThreads(parts);
    if (threads < 2) {
        for (int32_t k = 0; k < parts; ++k) part(k);
        return;
    }
    auto shared = std::make_shared<TShared>();
    shared->parts = parts;
    shared->part = &part;
    for (int t = 1; t < threads; ++t) {
        try {
            std::thread([shared] {
                std::feclearexcept(FE_ALL_EXCEPT);
                shared->Work(true);
            }).detach();
        } catch (const std::exception&) {
            break; // no thread to be had: this one does the rest
        }
    }
    shared->Work(false);
    {
        std::unique_lock<std::mutex> hold(shared->lock);
        shared->finished.wait(hold, [&] { return shared->done.load() == parts; });
    }
    if (const int flags = shared->raised.load(); flags != 0) std::feraiseexcept(flags);
    if (shared->failure) std::rethrow_exception(shared->failure);
}
