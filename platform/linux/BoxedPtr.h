#pragma once
// Holds one reference to a reference-counted boxed value of GLib or WebKit (a
// WebKitScriptDialog, say), through the type's own ref and unref functions. adopt() takes over a
// reference the caller owns; ref() adds one of its own. Copies add a reference each, so a copy
// may travel in a std::function. Thread use is the boxed type's.

#include <utility>

namespace platform::gtk {

template <class T, T* (*Ref)(T*), void (*Unref)(T*)>
class BoxedPtr {
public:
    BoxedPtr() = default;
    static BoxedPtr adopt(T* value)
    {
        BoxedPtr ptr;
        ptr.value_ = value;
        return ptr;
    }
    static BoxedPtr ref(T* value) { return adopt(value ? Ref(value) : nullptr); }
    BoxedPtr(const BoxedPtr& other) : value_(other.value_ ? Ref(other.value_) : nullptr) {}
    BoxedPtr(BoxedPtr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    BoxedPtr& operator=(BoxedPtr other) noexcept
    {
        std::swap(value_, other.value_);
        return *this;
    }
    ~BoxedPtr() { reset(); }

    void reset()
    {
        if (auto* value = std::exchange(value_, nullptr))
            Unref(value);
    }
    T* get() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }

private:
    T* value_ = nullptr;
};

} // namespace platform::gtk
