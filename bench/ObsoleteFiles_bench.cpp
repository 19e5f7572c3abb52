// The manifest clean-up of a web root of 20,000 listed files (200 folders of 100, every line
// with its checksum) plus 200 unlisted files it deletes and 100 listed files it finds missing,
// beside the bare baseline on the same tree in the same run: `find www -type f | wc -l`, a walk
// that tells files from folders as the clean-up must. bench/obsolete_files.sh prints both and
// their ratio.

#include "base/Config.h"
#include "base/Digest.h"
#include "bench/BenchHome.h"
#include "contentserver/ObsoleteFiles.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr int folders = 200;
constexpr int filesPerFolder = 100;

std::string fileName(int folder, int file)
{
    return "assets/d" + std::to_string(folder) + "/file " + std::to_string(file) + ".png";
}

fs::path webRoot()
{
    return sharedConfig().WEBROOT;
}

void writeFile(const fs::path& path)
{
    std::ofstream(path, std::ios::binary) << "x";
}

// The unlisted files, put back before every run.
void plantStaleFiles()
{
    for (int folder = 0; folder < folders; ++folder)
        writeFile(webRoot() / ("assets/d" + std::to_string(folder)) / "stale.js");
}

void makeWebRoot()
{
    static const bool made = [] {
        useTemporaryHome();
        std::string manifest;
        for (int folder = 0; folder < folders; ++folder) {
            fs::create_directories(webRoot() / ("assets/d" + std::to_string(folder)));
            for (int file = 0; file < filesPerFolder; ++file) {
                const std::string name = fileName(folder, file);
                writeFile(webRoot() / name);
                const std::string encoded = "assets/d" + std::to_string(folder) + "/file%20" + std::to_string(file) + ".png";
                manifest += encoded + "\t1\t" + *hashed(std::string_view(encoded), HashType::md5, HashOutputType::hex) + "\n";
            }
        }
        for (int missing = 0; missing < 100; ++missing)
            manifest += "lazy/m" + std::to_string(missing) + ".png\t1\n";
        // It lists itself, so that every run finds it.
        manifest += "files.txt\t1\n===TOTAL===\t" + std::to_string(folders * filesPerFolder + 101) + "\n";
        std::ofstream(webRoot() / "files.txt", std::ios::binary) << manifest;
        return true;
    }();
    (void)made;
}

void BM_deleteObsoleteFiles(benchmark::State& state)
{
    makeWebRoot();
    for (auto _ : state) {
        state.PauseTiming();
        plantStaleFiles();
        state.ResumeTiming();
        if (auto lazyLoadList = deleteObsoleteFiles(webRoot(), LazyLoadMode::all))
            storeLazyLoadList(*lazyLoadList);
    }
    if (sharedConfig().defaults.stringArray(sharedConfig().LAZYLOAD_STORE_KEY)->size() != 100)
        state.SkipWithError("the lazy-load list is not the 100 missing files");
}
BENCHMARK(BM_deleteObsoleteFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_findWalk(benchmark::State& state)
{
    makeWebRoot();
    const std::string command = "find '" + webRoot().string() + "' -type f | wc -l >/dev/null";
    for (auto _ : state) {
        state.PauseTiming();
        plantStaleFiles();
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("find failed");
    }
}
BENCHMARK(BM_findWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
