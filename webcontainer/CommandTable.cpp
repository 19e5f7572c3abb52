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

void CommandTable::dispatch(BridgeScreen& screen, const CommandURL& url) const
{
    const Handler handler = find(url.word());
    if (!handler)
        return;
    try {
        handler(screen, url);
    } catch (const std::exception& error) {
        LOG_ERROR("bridge command " + url.word() + " failed: " + error.what());
    } catch (...) {
        LOG_ERROR("bridge command " + url.word() + " failed");
    }
}

CommandTable& bridgeCommandTableForTesting()
{
    static CommandTable* table = [] {
        auto* filled = new CommandTable();
        registerCommandGroups(*filled);
        return filled;
    }();
    return *table;
}

const CommandTable& bridgeCommandTable()
{
    return bridgeCommandTableForTesting();
}
