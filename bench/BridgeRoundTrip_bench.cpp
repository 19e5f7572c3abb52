// The bridge's round trip in the real WebKitGTK view (needs a display: run it through
// bench/bridge_roundtrip.sh). The demo page's bridge page posts "getUuid", the native side
// answers through the page's callback, and the page posts the next one as soon as the answer
// arrives. The time of one round trip is the distance between two consecutive arrivals of the
// page's message on the native side (steady clock): the page's clock (performance.now()) is
// coarsened to a millisecond by the engine, too coarse for one round trip.
// ROUND_TRIPS (default 2000) sets how many round trips are measured.

#include "app/AppDelegate.h"
#include "base/Config.h"
#include "bench/BenchHome.h"
#include "platform/Application.h"
#include "platform/Platform.h"
#include "platform/Window.h"
#include "portable/Dispatch.h"
#include "webcontainer/ViewController.h"

#include <benchmark/benchmark.h>
#include <glib.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = std::chrono::seconds(30);

// An application without a loop of its own: the benchmark runs the main context.
class BenchApplication final : public platform::Application {
public:
    using Application::launch;

protected:
    int runImpl(int, char**) override { return 0; }
};

std::size_t roundTrips()
{
    const char* text = std::getenv("ROUND_TRIPS");
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    return value > 0 ? static_cast<std::size_t>(value) : 2000;
}

// Evaluates `script` in the page and returns its result's text.
std::string evaluate(platform::WebView& view, const std::string& script)
{
    std::optional<platform::WebView::ScriptResult> result;
    view.evaluateJavaScript(script, [&](const auto& outcome) { result = outcome; });
    platform::runMainLoopUntil([&] { return result.has_value(); }, kTimeout);
    return result && result->value ? *result->value : "";
}

// The screen with the bridge page loaded and ready.
std::shared_ptr<ViewController> showBridgePage()
{
    static auto* application = new std::shared_ptr<BenchApplication>(std::make_shared<BenchApplication>());
    static auto* delegate = new AppDelegate();
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "no display: run bench/bridge_roundtrip.sh\n");
        std::exit(1);
    }
    platform::Platform linux = platform::makeLinuxPlatform();
    linux.application = *application;
    platform::install(std::move(linux));
    delegate->makeInitialScreen = instantiateWebScreen;
    (*application)->run(0, nullptr, *delegate);
    (*application)->launch(platform::current().makeWindow(), {});
    auto screen = std::dynamic_pointer_cast<ViewController>(delegate->window->rootScreen());
    screen->loadPage("/bridge.html");
    const std::string page = "file://" + sharedConfig().WEBROOT + "/bridge.html";
    const bool ready = platform::runMainLoopUntil(
        [&] {
            return screen->webView && screen->webView->url() == page
                && evaluate(*screen->webView, "typeof bridgeCheck") == "object";
        },
        kTimeout);
    if (!ready) {
        std::fprintf(stderr, "the bridge page did not load\n");
        std::exit(1);
    }
    return screen;
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void BM_bridgeRoundTrip(benchmark::State& state)
{
    useTemporaryHome();
    const auto screen = showBridgePage();
    const std::size_t trips = roundTrips();
    auto& view = *screen->webView;

    // Time stamps of the page's getter messages as they reach the native side; the loop runs
    // as the application's does until the last one has come.
    std::vector<Clock::time_point> arrivals;
    arrivals.reserve(trips + 1);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    auto route = view.onScriptMessage;
    view.onScriptMessage = [&, route](const std::string& name, const std::optional<std::string>& body) {
        if (body && body->starts_with("getUuid?"))
            arrivals.push_back(Clock::now());
        route(name, body);
        if (arrivals.size() > trips)
            g_main_loop_quit(loop);
    };
    const guint timer = g_timeout_add_seconds(120, [](gpointer data) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(data));
        return G_SOURCE_REMOVE;
    }, loop);

    for (auto _ : state) {
        evaluate(view, "bridgeCheck.measure(" + std::to_string(trips + 1) + "); 0");
        g_main_loop_run(loop);
        state.SetIterationTime(std::chrono::duration<double>(arrivals.back() - arrivals.front()).count());
    }
    g_source_remove(timer);
    g_main_loop_unref(loop);
    view.onScriptMessage = route;
    if (arrivals.size() <= trips) {
        state.SkipWithError("the page stopped before all round trips were done");
        return;
    }

    std::vector<double> native;
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        native.push_back(std::chrono::duration<double, std::micro>(arrivals[i] - arrivals[i - 1]).count());
    state.counters["round_trips"] = static_cast<double>(native.size());
    state.counters["median_us"] = percentile(native, 0.5);
    state.counters["p99_us"] = percentile(native, 0.99);
    std::printf("bridge round trip, %zu round trips: median %.1f us, 99th percentile %.1f us (native clock)\n",
                native.size(), percentile(native, 0.5), percentile(native, 0.99));
}
BENCHMARK(BM_bridgeRoundTrip)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
