#include "base/SharedInstances.h"

#include "platform/Bundle.h"

const std::string& bundleID()
{
    // An installed bundle always names itself; a broken one still gets folders of its own.
    static const std::string id = platform::Bundle::main()->identifier().value_or("webcontainer");
    return id;
}

platform::NotificationCenter& sharedNotificationCenter()
{
    return platform::NotificationCenter::defaultCenter();
}
