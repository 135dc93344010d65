// A value made from the model a job evaluates (and what its evaluation reads
// besides it), kept until that changes.  Readers on any thread take the
// current value without a lock; a rebuild is made under the lock and
// published.  A job's workers read its snapshot, which nothing changes while
// they run, so a rebuild never frees a value a worker still reads.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

template <typename T>
class RevisionCache {
public:
    // The current value when is_current(value) holds for it, else the one
    // build() makes (a std::unique_ptr<T>).
    template <typename IsCurrent, typename Build>
    const T& get(IsCurrent is_current, Build build)
    {
        const T* value = current_.load(std::memory_order_acquire);
        if (value != nullptr && is_current(*value))
            return *value;
        const std::lock_guard<std::mutex> lock(rebuild_);
        value = current_.load(std::memory_order_acquire);
        if (value != nullptr && is_current(*value))
            return *value;
        std::unique_ptr<T> fresh = build();
        current_.store(fresh.get(), std::memory_order_release);
        live_.swap(fresh);  // the value replaced goes with `fresh`
        return *live_;
    }

private:
    std::mutex rebuild_;
    std::atomic<const T*> current_{nullptr};
    std::unique_ptr<T> live_;
};
