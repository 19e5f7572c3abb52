#include "base/WebRootSwap.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <optional>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

struct Folders {
    fs::path webRoot, aside, fresh;
};

Folders given(const std::optional<std::string>& webRoot, const std::optional<std::string>& aside,
              const std::optional<std::string>& fresh)
{
    const fs::path base = testsupport::makeTemporaryFolder("swap");
    Folders f{base / "www", base / "www-old", base / "www-1"};
    auto fill = [](const fs::path& folder, const std::optional<std::string>& index) {
        if (index)
            writeFile(folder / "index.html", *index);
    };
    fill(f.webRoot, webRoot);
    fill(f.aside, aside);
    fill(f.fresh, fresh);
    return f;
}

std::optional<std::string> index(const fs::path& folder)
{
    return fs::exists(folder / "index.html") ? std::optional(readFile(folder / "index.html")) : std::nullopt;
}

} // namespace

TEST(WebRootSwap, ReplaceLeavesTheNewWebRootOrTheOldOne)
{
    struct Case {
        const char* scenario;
        std::optional<std::string> webRoot, aside, fresh;
        bool fails;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"an ordinary swap", "old", std::nullopt, "new", false, "new"},
        {"no web root yet", std::nullopt, std::nullopt, "new", false, "new"},
        {"a stale folder aside", "old", "older", "new", false, "new"},
        {"after a swap cut short between its renames", std::nullopt, "old", "new", false, "new"},
        // The rename into place fails: the old web root is renamed back.
        {"the fresh copy is missing", "old", std::nullopt, std::nullopt, true, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const Folders f = given(c.webRoot, c.aside, c.fresh);
        EXPECT_EQ(static_cast<bool>(WebRootSwap(f.webRoot).replaceWith(f.fresh)), c.fails);
        EXPECT_EQ(index(f.webRoot), c.expected);
        EXPECT_FALSE(fs::exists(f.aside));
        if (!c.fails) {
            EXPECT_FALSE(fs::exists(f.fresh));
        }
    }
}

TEST(WebRootSwap, RecoverFinishesWhatAnInterruptedSwapLeft)
{
    struct Case {
        const char* scenario;
        std::optional<std::string> webRoot, aside;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"old web root aside, none in place", std::nullopt, "old", "old"},
        {"new web root in place, old aside", "new", "old", "new"},
        {"nothing aside", "live", std::nullopt, "live"},
        {"no web root at all", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const Folders f = given(c.webRoot, c.aside, std::nullopt);
        WebRootSwap swap(f.webRoot);
        EXPECT_EQ(swap.asidePath(), f.aside);
        swap.recover();
        EXPECT_EQ(index(f.webRoot), c.expected);
        EXPECT_FALSE(fs::exists(f.aside));
    }
}
