// Copying a chosen 64 MB file into the upload folder with ContainedPath::copyFrom (streamed in
// 64 KB blocks through the contained-path rule), beside the bare baseline in the same run:
// std::filesystem::copy_file on the same file, which lets the kernel copy. The counter
// "peakRSSGrowthMB" is how far the copy raised the process's peak memory above the file's
// preparation (0 for a copy that never holds the file).

#include "bench/BenchHome.h"
#include "portable/ContainedPath.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t fileSize = 64 * 1024 * 1024;

struct Files {
    fs::path source;
    fs::path upload;
};

const Files& files()
{
    static const Files made = [] {
        useTemporaryHome();
        Files f;
        const fs::path folder = fs::temp_directory_path() / ("upload-copy-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder / "upload");
        f.source = folder / "chosen.bin";
        f.upload = folder / "upload";
        std::ofstream out(f.source, std::ios::binary);
        std::string chunk(1 << 16, 'x');
        for (std::size_t written = 0; written < fileSize; written += chunk.size())
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        std::atexit([] { fs::remove_all(files().source.parent_path()); });
        return f;
    }();
    return made;
}

double peakRSSMB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_CopyFrom(benchmark::State& state)
{
    const auto& f = files();
    const auto target = *platform::ContainedPath::make(f.upload, "chosen.bin");
    const double before = peakRSSMB();
    for (auto _ : state) {
        if (target.copyFrom(f.source))
            state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize));
    state.counters["peakRSSGrowthMB"] = peakRSSMB() - before;
}

void BM_BareCopyFile(benchmark::State& state)
{
    const auto& f = files();
    const double before = peakRSSMB();
    for (auto _ : state)
        fs::copy_file(f.source, f.upload / "bare.bin", fs::copy_options::overwrite_existing);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize));
    state.counters["peakRSSGrowthMB"] = peakRSSMB() - before;
}

} // namespace

BENCHMARK(BM_CopyFrom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareCopyFile)->Unit(benchmark::kMillisecond);
