// A value made from the current model (and what its evaluation reads besides
// it), kept until that changes.  Readers on any thread take the current
// value without a lock; a rebuild (only after a change, which never happens
// while workers evaluate) is made under the lock and published, and the
// value it replaces stays alive until the next rebuild, so a reference taken
// before a rebuild stays valid until the one after.
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
        replaced_ = std::move(live_);
        live_ = std::move(fresh);
        current_.store(live_.get(), std::memory_order_release);
        return *live_;
    }

private:
    std::mutex rebuild_;
    std::atomic<const T*> current_{nullptr};
    std::unique_ptr<T> live_, replaced_;
};
