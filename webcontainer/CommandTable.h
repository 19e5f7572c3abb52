#pragma once
// The bridge's command table: command word → handler. The handlers live in one file per group
// of commands, webcontainer/<Group>Commands.cpp, and are declared in BridgeCommands.h; every
// word and its handler are listed in BridgeWords.cpp.
//
// Words are compared whole and case-sensitively; no two groups may add the same word. A word
// the table lacks has no effect: nothing is logged and nothing is answered.
//
// The shared table is built filled by the composition root and only read afterwards; a web
// screen is given the table it dispatches to. Commands run on the main thread.

#include "webcontainer/BridgeRequest.h"
#include "webcontainer/BridgeScreen.h"

#include <memory>
#include <string>
#include <unordered_map>

class CommandTable {
public:
    // A command: reads its parameters from `request.url` and answers the page through
    // `request.reply` (which it may move away to answer later); dialogs go through `screen`.
    using Handler = void (*)(BridgeScreen& screen, BridgeRequest& request);

    // Adds `word`; a word added twice is a programming error that aborts (in every build).
    void add(const std::string& word, Handler handler);
    // The handler of `word`, or nullptr.
    Handler find(const std::string& word) const;
    std::size_t size() const { return handlers_.size(); }

    // Runs the handler of `url`'s word synchronously, with a reply handle on the screen's web
    // view and the command's callback. An exception thrown by a handler is caught and logged
    // here: none leaves the bridge.
    void dispatch(BridgeScreen& screen, CommandURL url) const;

private:
    std::unordered_map<std::string, Handler> handlers_;
};

// A table holding the commands of every group; the composition root shares one.
std::shared_ptr<CommandTable> makeBridgeCommandTable();
// The shared table.
const CommandTable& bridgeCommandTable();

// Adds every command word to `table` (BridgeWords.cpp).
void registerBridgeCommands(CommandTable& table);
