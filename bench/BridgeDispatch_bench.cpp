// Cost of one bridge command on the native side: parsing the command text, finding its
// handler, running it and evaluating the reply script (with a web view that does nothing).
// The *RoundTrips benchmarks run 100,000 commands each with a 10 MB value stored, as a page
// that keeps large values does; bench/settings_write.sh compares the two.

#include "base/Config.h"
#include "bench/BenchHome.h"
#include "portable/Dispatch.h"
#include "webcontainer/CommandTable.h"

#include <benchmark/benchmark.h>

namespace {

class SilentWebView final : public platform::WebView {
protected:
    void evaluateJavaScriptImpl(const std::string&, ScriptCompletion completion) override
    {
        if (completion)
            completion({});
    }
    void loadFileURLImpl(const std::filesystem::path&, const std::filesystem::path&) override {}
    std::optional<std::string> urlImpl() const override { return std::nullopt; }
};

class BenchScreen final : public BridgeScreen {
public:
    std::shared_ptr<platform::WebView> pageWebView() const override { return view; }
    void presentAlert(const std::string&, const std::string&, AlertButton, std::optional<AlertButton>)
        override
    {
    }
    void loadPage(const std::string&) override {}
    std::shared_ptr<platform::View> rootView() const override { return nullptr; }
    void showUpdateDialog(bool) override {}

    std::shared_ptr<platform::WebView> view = std::make_shared<SilentWebView>();
};

const std::string getValueCommand = "getValue?key=color&callback=onValue";

void BM_parseCommandURL(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(CommandURL::parse(getValueCommand));
}
BENCHMARK(BM_parseCommandURL);

// Parse, dispatch, read the setting, build the JSON reply and evaluate it on the main queue.
void BM_dispatchGetValue(benchmark::State& state)
{
    useTemporaryHome();
    sharedConfig().defaults.set("cli_color", "red");
    BenchScreen screen;
    const CommandTable& table = bridgeCommandTable();
    for (auto _ : state) {
        table.dispatch(screen, std::move(*CommandURL::parse(getValueCommand)));
        platform::drainMainQueue();
    }
}
BENCHMARK(BM_dispatchGetValue);

// A word no group knows: parse and look-up only.
void BM_dispatchUnknownWord(benchmark::State& state)
{
    useTemporaryHome();
    BenchScreen screen;
    const CommandTable& table = bridgeCommandTable();
    for (auto _ : state)
        table.dispatch(screen, std::move(*CommandURL::parse("noSuchCommand?callback=f&x=1")));
}
BENCHMARK(BM_dispatchUnknownWord);

constexpr int kRoundTrips = 100000;

void storeLargeValue()
{
    static const bool stored = [] {
        sharedConfig().defaults.set("cli_large", std::string(std::size_t{10} << 20, 'x'));
        return sharedConfig().defaults.flush();
    }();
    (void)stored;
}

// Parse, dispatch and run the reply's evaluation, as one message of the page does.
void roundTrip(BenchScreen& screen, const std::string& command)
{
    bridgeCommandTable().dispatch(screen, *CommandURL::parse(command));
    platform::drainMainQueue();
}

void BM_getUuidRoundTrips(benchmark::State& state)
{
    useTemporaryHome();
    storeLargeValue();
    BenchScreen screen;
    for (auto _ : state)
        roundTrip(screen, "getUuid?callback=onUuid");
}
BENCHMARK(BM_getUuidRoundTrips)->Iterations(kRoundTrips)->Unit(benchmark::kMicrosecond);

// Each command stores a new value and synchronizes the store.
void BM_setValueRoundTrips(benchmark::State& state)
{
    useTemporaryHome();
    storeLargeValue();
    BenchScreen screen;
    int counter = 0;
    for (auto _ : state)
        roundTrip(screen, "setValue?lang=counter&value=" + std::to_string(++counter));
}
BENCHMARK(BM_setValueRoundTrips)->Iterations(kRoundTrips)->Unit(benchmark::kMicrosecond);

} // namespace
