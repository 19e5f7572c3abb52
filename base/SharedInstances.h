#pragma once
// The registry of the process-wide shared instances: one object per type. The composition root
// (app/CompositionRoot) builds them in a fixed order and adds them here; the accessors
// (sharedConfig(), sharedServerCom(), …) look them up here, so every layer reaches its shared
// instances without seeing the root. Tests build them afresh through the same root.
//
// Threads: add() and clear() run on the main thread while no other thread uses the shared
// instances (at start, and between tests); get() is safe from any thread in between.
// Lifetimes: an instance lives from its add() until clear(), which destroys them all, the last
// added first. The application never calls clear(): its instances live until the process ends.
// Reading an instance that is not built is a programming error and stops the process.

#include "portable/NotificationCenter.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>

class SharedInstances {
public:
    // Adds `instance` as the shared `T`; a second `T` before clear() is a programming error.
    template <class T>
    static void add(std::shared_ptr<T> instance)
    {
        if (slot<T>.load(std::memory_order_acquire))
            duplicate(typeid(T).name());
        T* raw = instance.get();
        keep(std::move(instance), [] { slot<T>.store(nullptr, std::memory_order_release); });
        slot<T>.store(raw, std::memory_order_release);
    }

    // The shared `T`.
    template <class T>
    static T& get()
    {
        T* instance = slot<T>.load(std::memory_order_acquire);
        if (!instance)
            missing(typeid(T).name());
        return *instance;
    }

    template <class T>
    static bool has()
    {
        return slot<T>.load(std::memory_order_acquire) != nullptr;
    }

    // Destroys every instance, the last added first.
    static void clear();

private:
    template <class T>
    static inline std::atomic<T*> slot{nullptr};

    static void keep(std::shared_ptr<void> owner, std::function<void()> forget);
    [[noreturn]] static void missing(const char* typeName);
    [[noreturn]] static void duplicate(const char* typeName);
};

// The main bundle's identifier as the root found it.
struct MainBundleIdentifier {
    std::string text;
};

// The main bundle's identifier; it names the application's folders and the download-finished
// notification. Safe from any thread.
const std::string& bundleID();

// The process's notification centre, the same as platform::NotificationCenter::defaultCenter().
// Safe from any thread.
platform::NotificationCenter& sharedNotificationCenter();
