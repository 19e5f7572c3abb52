#include "tests/support/TestEnvironment.h"

#include "portable/Bundle.h"

#include <glib.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace testsupport {
namespace {

void setOrUnset(const std::string& name, const std::optional<std::string>& value)
{
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}

} // namespace

fs::path TemporaryHome::makeFolder()
{
    std::string pattern = (fs::temp_directory_path() / "webcontainer-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary home");
    const fs::path folder = pattern;
    for (const char* sub : {"home", "data", "config", "cache", "tmp"})
        fs::create_directories(folder / sub);
    return folder;
}

TemporaryHome::TemporaryHome()
    : path_(makeFolder())
    , environment_{{"HOME", (path_ / "home").string()},
                   {"XDG_DATA_HOME", (path_ / "data").string()},
                   {"XDG_CONFIG_HOME", (path_ / "config").string()},
                   {"XDG_CACHE_HOME", (path_ / "cache").string()},
                   {"TMPDIR", (path_ / "tmp").string()},
                   {"LANGUAGE", std::nullopt},
                   {"LC_ALL", std::nullopt},
                   {"LC_MESSAGES", std::nullopt},
                   {"LANG", std::nullopt},
                   {"WEBCONTAINER_LOG", std::nullopt}}
{
}

TemporaryHome::~TemporaryHome()
{
    if (std::getenv("WEBCONTAINER_KEEP_TEST_HOME"))
        return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ScopedEnvironment::ScopedEnvironment(std::initializer_list<std::pair<std::string, std::optional<std::string>>> values)
{
    for (const auto& [name, value] : values) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        setOrUnset(name, value);
    }
}

ScopedEnvironment::~ScopedEnvironment()
{
    for (const auto& [name, value] : saved_)
        setOrUnset(name, value);
}

fs::path makeTemporaryFolder(const std::string& name)
{
    const char* tmp = std::getenv("TMPDIR");
    fs::path folder = fs::path(tmp ? tmp : "/tmp") / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

const std::vector<BrokenPreferences>& brokenDefaultPreferences()
{
    static const std::vector<BrokenPreferences> cases = {
        {"missing", std::nullopt},
        {"array", "<plist><array><string>not a dict</string></array></plist>"},
        {"no property list", "DefaultPreferences"},
    };
    return cases;
}

void copyBundleWithPreferences(const fs::path& folder, const std::optional<std::string>& contents)
{
    fs::remove_all(folder);
    fs::copy(WEBCONTAINER_TEST_BUNDLE_DIR, folder, fs::copy_options::recursive);
    fs::remove(folder / "DefaultPreferences.plist");
    if (contents)
        writeFile(folder / "DefaultPreferences.plist", *contents);
}

void useBundleWithArchive(const std::optional<std::string>& archive)
{
    const fs::path bundle = makeTemporaryFolder("bundle");
    fs::copy(WEBCONTAINER_TEST_BUNDLE_DIR, bundle, fs::copy_options::recursive);
    fs::remove(bundle / "app.zip");
    if (archive)
        writeFile(bundle / "app.zip", *archive);
    platform::Bundle::setMainForTesting(bundle);
}

void dropFilePermissionOverrides()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        throw std::runtime_error("capget failed");
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
        data[CAP_TO_INDEX(capability)].effective &= ~CAP_TO_MASK(capability);
    if (::syscall(SYS_capset, &header, data) != 0)
        throw std::runtime_error("capset failed");
}

fs::path toolPath(const std::string& name)
{
    return fs::path(WEBCONTAINER_TEST_TOOLS_DIR) / name;
}

ProcessResult runProcess(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint status = -1;
    GError* error = nullptr;
    ProcessResult result;
    if (!g_spawn_sync(nullptr, args.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err, &status, &error)) {
        result.err = error ? error->message : "spawn failed";
        g_clear_error(&error);
        return result;
    }
    result.out = out ? out : "";
    result.err = err ? err : "";
    g_free(out);
    g_free(err);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace testsupport
