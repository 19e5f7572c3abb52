#include "webcontainer/CommandTable.h"

#include "base/Logger.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

void CommandTable::add(const std::string& word, Handler handler)
{
    if (!handlers_.emplace(word, handler).second) {
        std::fprintf(stderr, "bridge command \"%s\" added twice\n", word.c_str());
        std::abort();
    }
}

CommandTable::Handler CommandTable::find(const std::string& word) const
{
    const auto found = handlers_.find(word);
    return found == handlers_.end() ? nullptr : found->second;
}

void CommandTable::dispatch(BridgeScreen& screen, CommandURL url) const
{
    const Handler handler = find(url.word());
    if (!handler)
        return;
    PageReply reply(screen.pageWebView(), url.value("callback"));
    BridgeRequest request{std::move(url), std::move(reply)};
    try {
        handler(screen, request);
    } catch (const std::exception& error) {
        LOG_ERROR("bridge command " + request.url.word() + " failed: " + error.what());
    } catch (...) {
        LOG_ERROR("bridge command " + request.url.word() + " failed");
    }
}

CommandTable& bridgeCommandTableForTesting()
{
    static CommandTable* table = [] {
        auto* filled = new CommandTable();
        registerBridgeCommands(*filled);
        return filled;
    }();
    return *table;
}

const CommandTable& bridgeCommandTable()
{
    return bridgeCommandTableForTesting();
}
