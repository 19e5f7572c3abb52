// Decrypting a 25 MB update package (AES-128-CBC, the vector in its first 16 bytes) with
// PackageInstaller::decryptPackage, beside the bare baseline on the same ciphertext in the same run:
// the `openssl enc -d` command. bench/package_decryption.sh prints both and their ratio.

#include "base/Config.h"
#include "bench/BenchHome.h"
#include "contentserver/PackageInstaller.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t packageSize = 25 * 1024 * 1024;
const std::string key = "0123456789abcdef";
const std::string keyHex = "30313233343536373839616263646566";
const std::string iv = "fedcba9876543210";
const std::string ivHex = "66656463626139383736353433323130";

struct Package {
    fs::path folder;
    // The vector followed by the ciphertext: what the content server sends.
    fs::path encrypted;
    // The ciphertext alone, for the command, which takes the vector as an argument.
    fs::path ciphertext;
};

int run(const std::string& command)
{
    return std::system(command.c_str());
}

const Package& package()
{
    static const Package made = [] {
        useTemporaryHome();
        Package p;
        p.folder = sharedConfig().tmpDirURL / "decryption-bench";
        fs::create_directories(p.folder);
        p.encrypted = p.folder / "package.enc";
        p.ciphertext = p.folder / "package.ct";
        const fs::path plain = p.folder / "package.zip";
        {
            std::ofstream out(plain, std::ios::binary);
            std::mt19937 generator(1);
            std::string chunk(1 << 16, '\0');
            for (std::size_t written = 0; written < packageSize; written += chunk.size()) {
                for (char& c : chunk)
                    c = static_cast<char>(generator());
                out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            }
        }
        if (run("openssl enc -aes-128-cbc -K " + keyHex + " -iv " + ivHex + " -in " + plain.string() + " -out " +
                p.ciphertext.string()) != 0)
            std::abort();
        std::ofstream(p.encrypted, std::ios::binary) << iv << std::ifstream(p.ciphertext, std::ios::binary).rdbuf();
        return p;
    }();
    return made;
}

void BM_decryptPackage(benchmark::State& state)
{
    const Package& p = package();
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(p.encrypted, p.folder / "update.zip", fs::copy_options::overwrite_existing);
        state.ResumeTiming();
        if (PackageInstaller::decryptPackage(p.folder, key) != PackageInstaller::Decryption::decrypted)
            state.SkipWithError("the package did not decrypt");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packageSize));
}
BENCHMARK(BM_decryptPackage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_opensslEncCommand(benchmark::State& state)
{
    const Package& p = package();
    const std::string command = "openssl enc -d -aes-128-cbc -K " + keyHex + " -iv " + ivHex + " -in " +
                                p.ciphertext.string() + " -out " + (p.folder / "command_dec.zip").string();
    for (auto _ : state) {
        if (run(command) != 0)
            state.SkipWithError("openssl enc failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packageSize));
}
BENCHMARK(BM_opensslEncCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
