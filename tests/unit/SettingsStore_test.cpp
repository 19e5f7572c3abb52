#include "portable/PlistSerialization.h"
#include "portable/SettingsStore.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NestedPlist.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <map>
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

// A value the file cannot hold as it is was written anyway: the next start found the file
// unreadable and lost every stored value (and control characters made it ill-formed XML).
TEST(SettingsStore, ValueTheFileCannotHoldIsRefusedAndCostsNoOtherValue)
{
    // `levels` lists, each holding the next; in the file below its root dictionary.
    const auto nested = [](std::size_t levels) {
        PlistValue value{PlistArray{}};
        for (std::size_t level = 1; level < levels; ++level)
            value = PlistValue(PlistArray{value});
        return value;
    };
    const std::pair<const char*, PlistValue> refused[] = {
        {"a lone surrogate", "k\xED\xA0\x80y"},
        {"a byte that is no UTF-8", "k\xFFy"},
        {"a control character", "k\x01y"},
        {"a NUL", std::string("k\0y", 3)},
        {"a noncharacter", "k\xEF\xBF\xBFy"},
        {"a bad text in a list", PlistValue(PlistArray{PlistValue("ok"), PlistValue("\xFF")})},
        {"a bad key in a dictionary", PlistValue(PlistDict{{"k\x02", "v"}})},
        {"a date the file cannot hold", PlistValue(platform::PlistDate(std::chrono::hours(-24 * 365 * 80)))},
        {"lists nested a level too deep", nested(platform::kPlistMaxDepth)},
    };
    const std::pair<const char*, PlistValue> kept[] = {
        {"tab, line breaks, text beyond ASCII", "a\tb\nc\r\nä€😀"},
        {"lists nested to the limit", nested(platform::kPlistMaxDepth - 1)},
    };
    const auto file = storeFile();
    {
        SettingsStore store(file);
        store.set("uuid", "6f1c2f0e-installation");
        for (const auto& [name, value] : refused) {
            SCOPED_TRACE(name);
            EXPECT_FALSE(store.set("cli_bad", value));
            EXPECT_FALSE(store.object("cli_bad"));
            EXPECT_TRUE(store.flush());
        }
        EXPECT_FALSE(store.set("cli_\xFF", "v"));
        for (const auto& [name, value] : kept)
            EXPECT_TRUE(store.set(name, value)) << name;
        // The writer leaves out what does not read back rather than write a file that doesn't.
        store.setUncheckedForTesting("cli_slipped", "\xFF");
        EXPECT_TRUE(store.flush());
    }
    SettingsStore restarted(file);
    EXPECT_EQ(restarted.string("uuid"), "6f1c2f0e-installation");
    for (const auto& [name, value] : kept)
        EXPECT_EQ(restarted.object(name), value) << name;
    EXPECT_EQ(restarted.allKeys().size(), std::size(kept) + 1);
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

namespace {

// Opens the store on a thread of its own; a store that blocks on its file for 5 s counts as
// hung: the FIFO is opened for writing to release it.
std::unique_ptr<SettingsStore> openWithin5s(const std::filesystem::path& file)
{
    auto opened = std::make_shared<std::promise<std::unique_ptr<SettingsStore>>>();
    auto result = opened->get_future();
    std::thread([file, opened] { opened->set_value(std::make_unique<SettingsStore>(file)); }).detach();
    if (result.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return result.get();
    ADD_FAILURE() << "opening the store blocked on " << file;
    const int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
        ::close(fd);
    return result.get();
}

std::size_t errorsContaining(const testsupport::LogCapture& logs, const std::string& text)
{
    std::size_t count = 0;
    for (const auto& entry : logs.entries())
        count += entry.level == Logger::Level::Error && entry.message.find(text) != std::string::npos;
    return count;
}

} // namespace

// Faults of the settings file: none blocks, none is silent, none loses an earlier copy.
TEST(SettingsStore, FileFaultsAreReportedAndNeverBlock)
{
    namespace fs = std::filesystem;
    struct Case {
        const char* scenario;
        std::function<void(const fs::path& file)> prepare;
        // Faults that leave no other trace, each logged exactly once while opening and writing twice.
        std::vector<std::string> errorsOnce;
        bool writable;  // values set afterwards reach the file; otherwise the failure is reported once
        std::map<std::string, std::string> besideAfter;  // files beside the store file, with their texts
        std::vector<std::string> goneAfter;
    };
    // Nested deep enough to crash the property-list library, which frees its trees recursively.
    const std::string deepXml = testsupport::nestedPlist(platform::PlistFormat::Xml, 250000);
    const std::string deepBinary = testsupport::nestedPlist(platform::PlistFormat::Binary, 100000);
    const std::vector<Case> cases = {
        {"a second corrupt file is kept beside the first",
         [](const fs::path& file) {
             testsupport::writeFile(file.string() + ".unreadable", "first damage");
             testsupport::writeFile(file, "second damage");
         },
         {},
         true,
         {{"store.plist.unreadable", "first damage"}, {"store.plist.unreadable.1", "second damage"}},
         {}},
        {"a FIFO in place of the file",
         [](const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
         {"not a regular file"},
         true,
         {},
         {}},
        {"a folder in place of the file",
         [](const fs::path& file) { fs::create_directory(file); },
         {"not a regular file"},
         false,
         {},
         {}},
        {"a configuration folder that cannot be written",
         [](const fs::path& file) {
             fs::remove(file.parent_path());
             testsupport::writeFile(file.parent_path(), "a file, not a folder");
         },
         {},
         false,
         {},
         {}},
        {"temporary files of killed writes",
         [](const fs::path& file) {
             testsupport::writeFile(file.parent_path() / ".store.plist.a1B2c3", "cut short");
             testsupport::writeFile(file.parent_path() / ".store.plist.Zz9yX8", "cut short");
             testsupport::writeFile(file.parent_path() / ".store.plist.notours", "someone else's");
         },
         {},
         true,
         {{".store.plist.notours", "someone else's"}},
         {".store.plist.a1B2c3", ".store.plist.Zz9yX8"}},
        {"an XML file nested too deep", [&](const fs::path& file) { testsupport::writeFile(file, deepXml); },
         {}, true, {{"store.plist.unreadable", deepXml}}, {}},
        {"a binary file nested too deep", [&](const fs::path& file) { testsupport::writeFile(file, deepBinary); },
         {}, true, {{"store.plist.unreadable", deepBinary}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const fs::path folder = testsupport::makeTemporaryFolder("faults");
        const fs::path file = folder / "settings" / "store.plist";
        fs::create_directory(file.parent_path());
        c.prepare(file);
        testsupport::LogCapture logs;
        int writeFailures = 0;
        {
            auto store = openWithin5s(file);
            EXPECT_TRUE(store->allKeys().empty());
            store->setWriteFailureHandler([&] { ++writeFailures; });
            store->set("cli_a", "1");
            EXPECT_EQ(store->flush(), c.writable);
            EXPECT_EQ(store->synchronize(), c.writable);
            store->set("cli_b", "2");
            EXPECT_EQ(store->flush(), c.writable);
        }
        EXPECT_EQ(writeFailures, c.writable ? 0 : 1);
        // The log line is the behaviour here: nothing else is observable.
        for (const auto& text : c.errorsOnce)
            EXPECT_EQ(errorsContaining(logs, text), 1u) << text;
        if (c.writable) {
            auto onDisk = platform::readPlistFile(file);
            ASSERT_TRUE(onDisk);
            EXPECT_EQ(onDisk->stringAt("cli_b"), "2");
        }
        for (const auto& [name, text] : c.besideAfter)
            EXPECT_EQ(testsupport::readFile(file.parent_path() / name), text) << name;
        for (const auto& name : c.goneAfter)
            EXPECT_FALSE(fs::exists(file.parent_path() / name)) << name;
    }
}
