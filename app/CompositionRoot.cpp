#include "app/CompositionRoot.h"

#include "base/Config.h"
#include "base/LocalizedTexts.h"
#include "base/SharedInstances.h"
#include "base/TimestampFormatter.h"
#include "contentserver/LazyLoad.h"
#include "contentserver/ServerCom.h"
#include "logger/Logger.h"
#include "platform/UrlSession.h"
#include "portable/Bundle.h"
#include "portable/Check.h"
#include "portable/Dispatch.h"
#include "portable/NotificationCenter.h"
#include "portable/Paths.h"
#include "portable/PrivateTemporaryFolder.h"
#include "portable/SettingsStore.h"
#include "services/IAPCom.h"
#include "services/LocationServices.h"
#include "services/NotificationScheduler.h"
#include "services/PushNotificationUtils.h"
#include "services/WebSocketManager.h"
#include "webcontainer/CommandTable.h"

#include <cstdlib>

namespace {

const std::string kDefaultPreferences = "DefaultPreferences";
// How long the work under way may take to end once cancelled (a reply being unpacked, say).
constexpr std::chrono::milliseconds kBackgroundWorkTimeout{30000};

// Values still waiting for their write reach the file when the process exits, whichever store
// is shared then.
void flushSettingsAtExit()
{
    static const bool registered = [] {
        std::atexit([] {
            if (SharedInstances::has<platform::SettingsStore>())
                SharedInstances::get<platform::SettingsStore>().flush();
        });
        return true;
    }();
    (void)registered;
}

} // namespace

std::optional<CompositionRoot::StartupError> CompositionRoot::build()
{
    platform::requireMainThread();
    const auto bundle = platform::Bundle::main();
    // An installed bundle always names itself; a broken one still gets folders of its own.
    SharedInstances::add(std::make_shared<MainBundleIdentifier>(
        MainBundleIdentifier{bundle->identifier().value_or("webcontainer")}));

    auto center = std::make_shared<platform::NotificationCenter>();
    platform::NotificationCenter::setDefault(center);
    SharedInstances::add(std::move(center));

    SharedInstances::add(std::make_shared<TimestampFormatter>());
    SharedInstances::add(std::make_shared<LocalizedTexts>());

    auto temporaryFolder = platform::PrivateTemporaryFolder::create(bundleID());
    if (!temporaryFolder) {
        tearDown();
        return StartupError{"no private folder for temporary files can be made below " +
                            (platform::paths::cacheHome() / bundleID()).string() + " or $XDG_RUNTIME_DIR; cannot start."};
    }
    auto settings = std::make_shared<platform::SettingsStore>(platform::SettingsStore::standardFile(bundleID()));
    auto config = Config::create(kDefaultPreferences, *settings, std::move(temporaryFolder));
    SharedInstances::add(std::move(settings));
    flushSettingsAtExit();
    if (!config) {
        tearDown();
        const auto path = bundle->resourcePath() / (kDefaultPreferences + ".plist");
        LOG_ERROR("cannot read " + path.string());
        return StartupError{"the bundle's " + kDefaultPreferences + ".plist is missing or is not a dictionary ("
                            + path.string() + "); cannot start."};
    }
    SharedInstances::add(std::shared_ptr<Config>(std::move(config)));

    SharedInstances::add(std::make_shared<ServerCom>());
    SharedInstances::add(std::make_shared<LazyLoad>());
    SharedInstances::add(std::make_shared<IAPCom>(PRODUCT_IDENTIFIERS()));
    SharedInstances::add(std::make_shared<PushNotificationUtils>());
    SharedInstances::add(std::make_shared<NotificationScheduler>());
    SharedInstances::add(std::make_shared<WebSocketManager>());
    SharedInstances::add(std::make_shared<LocationServices>());
    SharedInstances::add(makeBridgeCommandTable());
    return std::nullopt;
}

bool CompositionRoot::endBackgroundWork()
{
    platform::requireMainThread();
    if (platform::UrlSession::endAllTasks(kBackgroundWorkTimeout))
        return true;
    LOG_ERROR("URL session tasks still run after " + std::to_string(kBackgroundWorkTimeout.count()) + " ms");
    return false;
}

void CompositionRoot::tearDown()
{
    platform::requireMainThread();
    if (!endBackgroundWork())
        platform::fatalError("URL session tasks still run: the shared instances they read can't go");
    platform::drainMainQueue();
    SharedInstances::clear();
    platform::NotificationCenter::setDefault(nullptr);
}
