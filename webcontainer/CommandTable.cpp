#include "webcontainer/CommandTable.h"

#include "base/SharedInstances.h"
#include "portable/Check.h"
#include "portable/GuardedCall.h"

void CommandTable::add(const std::string& word, Handler handler)
{
    if (!handlers_.emplace(word, handler).second)
        platform::fatalError("bridge command \"" + word + "\" added twice");
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
    platform::guardedCall("bridge command " + request.url.word(), [&] { handler(screen, request); });
}

std::shared_ptr<CommandTable> makeBridgeCommandTable()
{
    auto table = std::make_shared<CommandTable>();
    registerBridgeCommands(*table);
    return table;
}

const CommandTable& bridgeCommandTable()
{
    return SharedInstances::get<CommandTable>();
}
