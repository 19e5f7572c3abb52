#pragma once
// Holds one reference to a GObject. adopt() takes over a reference the caller owns (from a
// *_new() call); ref() adds a reference of its own (floating references are sunk).
// A holder is used by one thread at a time; GTK and WebKit objects only on the main thread,
// where their last reference must go too.

#include <glib-object.h>

#include <utility>
#include <vector>

namespace platform::gtk {

template <class T>
class GObjectPtr {
public:
    GObjectPtr() = default;
    static GObjectPtr adopt(T* object)
    {
        GObjectPtr ptr;
        ptr.object_ = object;
        return ptr;
    }
    static GObjectPtr ref(T* object)
    {
        GObjectPtr ptr;
        ptr.object_ = object ? static_cast<T*>(g_object_ref_sink(object)) : nullptr;
        return ptr;
    }
    GObjectPtr(const GObjectPtr&) = delete;
    GObjectPtr& operator=(const GObjectPtr&) = delete;
    GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GObjectPtr& operator=(GObjectPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ~GObjectPtr() { reset(); }

    void reset()
    {
        if (auto* object = std::exchange(object_, nullptr))
            g_object_unref(object);
    }
    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

// Disconnects the signal handlers it recorded when it goes. The instances must still exist.
class SignalConnections {
public:
    SignalConnections() = default;
    SignalConnections(const SignalConnections&) = delete;
    SignalConnections& operator=(const SignalConnections&) = delete;
    ~SignalConnections() { disconnectAll(); }

    void connect(gpointer instance, const char* signal, GCallback callback, gpointer data)
    {
        handlers_.emplace_back(instance, g_signal_connect(instance, signal, callback, data));
    }
    void disconnectAll()
    {
        // A destroyed widget has dropped its handlers already (its dispose does).
        for (auto& [instance, id] : handlers_)
            if (g_signal_handler_is_connected(instance, id))
                g_signal_handler_disconnect(instance, id);
        handlers_.clear();
    }

private:
    std::vector<std::pair<gpointer, gulong>> handlers_;
};

} // namespace platform::gtk
