#pragma once
// Helpers that give tests a private environment.

#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Sets environment variables for its lifetime and restores them afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::initializer_list<std::pair<std::string, std::optional<std::string>>> values);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

// Creates a temporary folder and points HOME, XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME
// and TMPDIR into it; removes it again when destroyed (unless WEBCONTAINER_KEEP_TEST_HOME is
// set) and gives the environment back as it was. The language environment is cleared meanwhile,
// so the preferred language is English.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    static std::filesystem::path makeFolder();

    std::filesystem::path path_;
    ScopedEnvironment environment_;
};

// A folder under the test's temporary directory, created fresh.
std::filesystem::path makeTemporaryFolder(const std::string& name);

void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);

// The forms of the bundle's "DefaultPreferences.plist" that start-up refuses: none, one that is
// not a dictionary and one that is no property list.
struct BrokenPreferences {
    const char* name;
    std::optional<std::string> contents;
};
const std::vector<BrokenPreferences>& brokenDefaultPreferences();
// Copies the built bundle to `folder` and gives the copy `contents` as its
// "DefaultPreferences.plist" (none when empty).
void copyBundleWithPreferences(const std::filesystem::path& folder, const std::optional<std::string>& contents);
// Makes a copy of the built bundle the main bundle, its "app.zip" holding `archive` (none when
// empty).
void useBundleWithArchive(const std::optional<std::string>& archive);

// Makes folder and file modes bind this process even when it runs as root (it gives up the
// capabilities that override them): for a child process that must meet a folder it cannot open.
void dropFilePermissionOverrides();

// The folder of the test helper programs.
std::filesystem::path toolPath(const std::string& name);

// Runs a program and returns its exit status and standard output.
struct ProcessResult {
    int exitStatus = -1;
    std::string out;
    std::string err;
};
ProcessResult runProcess(const std::vector<std::string>& argv);

} // namespace testsupport
