#pragma once
// A value that several threads share, reachable only under its mutex.
//   config.stackOfJScript.lock()->push(script);
//   auto landing = config.URLschemeLanding.get();

#include <mutex>
#include <utility>

namespace platform {

template <class T>
class Guarded {
public:
    // A handle that holds the lock for as long as it lives.
    class Locked {
    public:
        Locked(std::mutex& mutex, T& value) : lock_(mutex), value_(value) {}
        T* operator->() { return &value_; }
        T& operator*() { return value_; }

    private:
        std::unique_lock<std::mutex> lock_;
        T& value_;
    };

    Guarded() = default;
    explicit Guarded(T value) : value_(std::move(value)) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    Locked lock() { return Locked(mutex_, value_); }

    T get() const
    {
        std::lock_guard lock(mutex_);
        return value_;
    }

    void set(T value)
    {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }

    // Replaces the value and returns the one it held, in one step.
    T exchange(T value)
    {
        std::lock_guard lock(mutex_);
        return std::exchange(value_, std::move(value));
    }

private:
    mutable std::mutex mutex_;
    T value_{};
};

} // namespace platform
