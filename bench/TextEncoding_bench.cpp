// Cost of the text encodings on the paths that run often: request values (urlEncode), answers
// to the page (escapeJavaScriptString) and the manifest's name checks (MD5 of a name).

#include "base/Digest.h"
#include "base/JavaScriptString.h"
#include "base/ServerAddress.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string asciiValue = "img/gallery/picture-0042.png?size=large&mode=fit to screen";
const std::string mixedValue = "Grüße aus Köln – 東京 / résumé #3 & more";
const std::string jsonAnswer = R"({"value":"C:\\path\\to \"file\"","list":["a","b","c"],"n":12345})";

void BM_urlEncodeAscii(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(urlEncode(asciiValue));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * asciiValue.size()));
}
BENCHMARK(BM_urlEncodeAscii);

void BM_urlEncodeMixed(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(urlEncode(mixedValue));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * mixedValue.size()));
}
BENCHMARK(BM_urlEncodeMixed);

void BM_escapeJavaScriptString(benchmark::State& state)
{
    const std::string text = [&] {
        std::string out;
        for (int i = 0; i < state.range(0); ++i)
            out += jsonAnswer;
        return out;
    }();
    for (auto _ : state)
        benchmark::DoNotOptimize(escapeJavaScriptString(text, '"'));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_escapeJavaScriptString)->Arg(1)->Arg(1000);

void BM_md5HexOfName(benchmark::State& state)
{
    const std::string name = "assets/images/gallery/picture%20042.png";
    for (auto _ : state)
        benchmark::DoNotOptimize(hashed(std::string_view(name), HashType::md5, HashOutputType::hex));
}
BENCHMARK(BM_md5HexOfName);

} // namespace
