#include "platform/PlistSerialization.h"
#include "platform/SettingsStore.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <thread>

using platform::PlistArray;
using platform::PlistDict;
using platform::PlistValue;
using platform::SettingsStore;

namespace {

std::filesystem::path storeFile()
{
    return testsupport::makeTemporaryFolder("settings") / "store.plist";
}

} // namespace

TEST(SettingsStore, StoredValueWinsAndRegisteredShowsAgainAfterRemoveAll)
{
    SettingsStore store(storeFile());
    store.registerDefaults({{"servername", "registered"}, {"app", "demo"}});
    store.set("servername", "stored");
    EXPECT_EQ(store.string("servername"), "stored");

    store.removeAll();
    EXPECT_EQ(store.string("servername"), "registered");
    EXPECT_EQ(store.string("app"), "demo");
}

TEST(SettingsStore, RemovingOneKeyUncoversItsDefault)
{
    SettingsStore store(storeFile());
    store.registerDefaults({{"lazyload", "none"}});
    store.set("lazyload", "all");
    store.set("cli_x", "1");
    store.remove("lazyload");
    EXPECT_EQ(store.string("lazyload"), "none");
    EXPECT_EQ(store.string("cli_x"), "1");
}

TEST(SettingsStore, ValueOfAnotherTypeReadsAsAbsent)
{
    SettingsStore store(storeFile());
    store.set("askwifi", std::int64_t{5000000});
    store.set("name", "text");
    store.set("mixed", PlistValue(PlistArray{PlistValue("a"), PlistValue(1)}));

    EXPECT_FALSE(store.string("askwifi"));
    EXPECT_EQ(store.integer("askwifi"), 5000000);
    EXPECT_FALSE(store.integer("name"));
    EXPECT_FALSE(store.boolean("name"));
    EXPECT_FALSE(store.dictionary("name"));
    EXPECT_FALSE(store.stringArray("mixed"));
    EXPECT_TRUE(store.array("mixed"));
    EXPECT_FALSE(store.string("missing"));
}

TEST(SettingsStore, AllKeysListsBothLayersOnce)
{
    SettingsStore store(storeFile());
    store.registerDefaults({{"a", "1"}, {"b", "2"}});
    store.set("b", "3");
    store.set("c", "4");
    EXPECT_EQ(store.allKeys(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(SettingsStore, SynchronizeWritesOnlyTheStoredLayer)
{
    const auto file = storeFile();
    {
        SettingsStore store(file);
        store.registerDefaults({{"registered", "r"}});
        store.set("stored", "s");
        store.set("list", PlistValue::stringArray({"x", "y"}));
        ASSERT_TRUE(store.synchronize());
    }
    auto onDisk = platform::readPlistFile(file);
    ASSERT_TRUE(onDisk && onDisk->isDict());
    EXPECT_EQ(onDisk->stringAt("stored"), "s");
    EXPECT_EQ(onDisk->find("registered"), nullptr);

    SettingsStore reopened(file);
    EXPECT_EQ(reopened.string("stored"), "s");
    EXPECT_EQ(reopened.stringArray("list"), (std::vector<std::string>{"x", "y"}));
}

// A damaged settings file must not be silently overwritten: it is kept aside.
TEST(SettingsStore, UnreadableFileIsKeptAsideAndStoreStartsEmpty)
{
    const auto file = storeFile();
    testsupport::writeFile(file, "not a property list");
    SettingsStore store(file);
    EXPECT_FALSE(store.string("anything"));
    EXPECT_EQ(testsupport::readFile(file.string() + ".unreadable"), "not a property list");
}

TEST(SettingsStore, WritesFromManyThreadsAllReachTheFile)
{
    const auto file = storeFile();
    {
        SettingsStore store(file);
        std::vector<std::thread> writers;
        for (int t = 0; t < 8; ++t)
            writers.emplace_back([&store, t] {
                for (int i = 0; i < 50; ++i) {
                    store.set("k" + std::to_string(t) + "_" + std::to_string(i), std::int64_t{i});
                    if (i % 10 == 0)
                        store.synchronize();
                }
            });
        for (auto& w : writers)
            w.join();
        ASSERT_TRUE(store.synchronize());
    }
    SettingsStore reopened(file);
    EXPECT_EQ(reopened.allKeys().size(), 400u);
    EXPECT_EQ(reopened.integer("k7_49"), 49);
}

TEST(SettingsStore, ChangesReachTheFileWithoutAnExplicitSynchronize)
{
    const auto file = storeFile();
    SettingsStore store(file);
    store.set("late", "value");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::optional<PlistValue> onDisk;
    while (std::chrono::steady_clock::now() < deadline) {
        onDisk = platform::readPlistFile(file);
        if (onDisk && onDisk->stringAt("late"))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->stringAt("late"), "value");
}
