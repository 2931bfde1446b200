#include "pixel/core/RowStripes.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pixel {

namespace {

constexpr int kMaxBands = 16;
std::atomic<int> gCeiling{0};

int Cores() {
    static const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    return cores;
}

// One call's bands. Whoever runs a band claims its index from `next`, so the
// caller and any number of helpers share the work without a fixed split.
struct Batch {
    const std::function<void(int, int)>* band;
    int rows;
    int bands;
    std::atomic<int> next{0};
    int helpers = 0;            // helper threads inside the batch (under the pool lock)
    std::exception_ptr thrown;  // the first band that threw (under the pool lock)

    int Bound(int i) const { return static_cast<int>(static_cast<long long>(rows) * i / bands); }
    // Runs claimed bands until none is left; a band that throws leaves the
    // rest unclaimed, so that no further band starts.
    std::exception_ptr RunClaimed() {
        try {
            for (int i; (i = next.fetch_add(1)) < bands;) (*band)(Bound(i), Bound(i + 1));
        } catch (...) {
            next.store(bands);
            return std::current_exception();
        }
        return nullptr;
    }
};

// A helper waits inside this library's code for the rest of the process, so
// the library stays loaded from the first helper on: an application's
// FreeLibrary then leaves it in place (the next LoadLibrary gets the same
// instance and the same helpers) instead of leaving the helpers blocked in
// unmapped code and starting a new set on every load.
void KeepLibraryLoaded() {
#ifdef _WIN32
    static const bool pinned = [] {
        HMODULE self = nullptr;
        return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                  reinterpret_cast<LPCWSTR>(&KeepLibraryLoaded), &self) != 0;
    }();
    (void)pinned;
#endif
}

// The helper threads, started on first need and kept: starting a thread costs
// far more than a band of rows under some systems (a millisecond under wine),
// and a frame runs several striped kernels. They wait on a condition and never
// exit; the pool is never destroyed, so that no helper is ever joined from a
// library's unload, where it could not finish.
class Pool {
public:
    // Runs the batch on the calling thread and up to bands - 1 helpers.
    void Run(Batch& batch) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            StartHelpers(batch.bands - 1);
            m_open.push_back(&batch);
        }
        m_wake.notify_all();
        std::exception_ptr thrown = batch.RunClaimed();
        // Every band is claimed, or one threw here; either way the helpers
        // still running theirs read the caller's band and batch, which live on
        // this stack: wait for them before leaving, also by an exception.
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            Close(batch);
            m_left.wait(lock, [&] { return batch.helpers == 0; });
            if (!thrown) thrown = batch.thrown;
        }
        if (thrown) std::rethrow_exception(thrown);
    }

private:
    void StartHelpers(int wanted) {
        if (m_threads < wanted) KeepLibraryLoaded();
        while (m_threads < wanted) {
            try {
                std::thread([this] { Serve(); }).detach();
                ++m_threads;
            } catch (const std::system_error&) {
                return;  // fewer helpers: the caller runs the bands nobody takes
            }
        }
    }

    void Close(Batch& batch) {
        const auto it = std::find(m_open.begin(), m_open.end(), &batch);
        if (it != m_open.end()) m_open.erase(it);
    }

    void Serve() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return !m_open.empty(); });
            Batch& batch = *m_open.front();
            ++batch.helpers;
            lock.unlock();
            std::exception_ptr thrown = batch.RunClaimed();  // handed to the caller, never out of the helper
            lock.lock();
            if (thrown && !batch.thrown) batch.thrown = thrown;
            Close(batch);  // all its bands are claimed
            if (--batch.helpers == 0) m_left.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;  // a batch was opened
    std::condition_variable m_left;  // a helper left a batch
    std::vector<Batch*> m_open;      // batches with bands not yet claimed
    int m_threads = 0;
};

Pool& Helpers() {
    static Pool* const pool = new Pool;  // never destroyed: see Pool
    return *pool;
}

}  // namespace

int StripeLimit() {
    const int ceiling = gCeiling.load(std::memory_order_relaxed);
    const int limit = ceiling > 0 ? ceiling : Cores();
    return std::min(limit, kMaxBands);
}

void SetStripeCeiling(int bands) { gCeiling.store(std::max(bands, 0), std::memory_order_relaxed); }

void ForEachStripe(int rows, int minRows, const std::function<void(int, int)>& band) {
    if (rows <= 0) return;
    const int bands = std::clamp(rows / std::max(minRows, 1), 1, StripeLimit());
    if (bands == 1) {
        band(0, rows);
        return;
    }
    Batch batch;
    batch.band = &band;
    batch.rows = rows;
    batch.bands = bands;
    Helpers().Run(batch);
}

}  // namespace pixel
