#pragma once
// A stack over a list: push appends, pop removes and returns the last element. Not locked: a
// stack that several threads share is held in a platform::Guarded (Config.stackOfJScript is).

#include <optional>
#include <vector>

template <class T>
struct UtilsStack {
    std::vector<T> items;

    void push(T item) { items.push_back(std::move(item)); }

    std::optional<T> pop()
    {
        if (items.empty())
            return std::nullopt;
        T last = std::move(items.back());
        items.pop_back();
        return last;
    }
};
