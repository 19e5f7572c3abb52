// A package's ZIP archive on any bytes: opening it and looking its entries up never crashes, and
// unpacking it (every entry read) writes nothing outside the destination: no entry lands beside
// it and no link inside it leads out.

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzHome.h"
#include "portable/Archive.h"
#include "portable/ZipArchive.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path work;

// True when `path`, its links followed as far as they go, lies inside `folder`.
bool inside(const fs::path& path, const fs::path& folder)
{
    std::error_code error;
    const auto resolved = fs::weakly_canonical(path, error);
    if (error)
        return false;
    const auto relative = resolved.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    work = fs::canonical(makeFuzzHome()) / "work";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fs::remove_all(work);
    const fs::path destination = work / "nest" / "www";
    fs::create_directories(destination);
    const fs::path archive = work / "package.zip";
    std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    if (const auto opened = platform::Archive::open(archive)) {
        for (const char* name : {"index.html", "info.plist", "files.txt", "", "/", "../x"})
            opened->containsEntry(name);
    }
    platform::ZipError error;
    platform::ZipArchive::unzipFileAtPath(archive, destination, &error);

    // Beside the destination only what was there before.
    for (const auto& entry : fs::directory_iterator(work))
        FUZZ_CHECK(entry.path() == archive || entry.path() == work / "nest");
    for (const auto& entry : fs::directory_iterator(work / "nest"))
        FUZZ_CHECK(entry.path() == destination);
    for (const auto& entry : fs::recursive_directory_iterator(destination))
        FUZZ_CHECK(!entry.is_symlink() || inside(entry.path(), destination));
    return 0;
}
