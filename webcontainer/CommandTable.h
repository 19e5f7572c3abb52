#pragma once
// The bridge's command table: command word → handler. Each group of commands lives in a file
// of its own, webcontainer/<Group>Commands.cpp, which defines
//     void register<Group>Commands(CommandTable& table);
// and adds its words there; CommandGroups.cpp calls every group's function.
//
// Words are compared whole and case-sensitively; no two groups may add the same word. A word
// the table lacks has no effect: nothing is logged and nothing is answered.
//
// The shared table is filled once, on first use, and only read afterwards. Commands run on the
// main thread.

#include "webcontainer/BridgeScreen.h"
#include "webcontainer/CommandURL.h"

#include <string>
#include <unordered_map>

class CommandTable {
public:
    // A command: reads its parameters from `url` and answers the page through `screen`.
    using Handler = void (*)(BridgeScreen& screen, const CommandURL& url);

    // Adds `word`; a word added twice is a programming error.
    void add(const std::string& word, Handler handler);
    // The handler of `word`, or nullptr.
    Handler find(const std::string& word) const;
    std::size_t size() const { return handlers_.size(); }

    // Runs the handler of `url`'s word synchronously. An exception thrown by a handler is
    // caught and logged here: none leaves the bridge.
    void dispatch(BridgeScreen& screen, const CommandURL& url) const;

private:
    std::unordered_map<std::string, Handler> handlers_;
};

// The table of every command group.
const CommandTable& bridgeCommandTable();
// The same table, open for adding words. Tests only.
CommandTable& bridgeCommandTableForTesting();

// Adds the commands of every group to `table` (CommandGroups.cpp).
void registerCommandGroups(CommandTable& table);
