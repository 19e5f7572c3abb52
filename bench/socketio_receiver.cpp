// Our side of bench/socketio.sh: the real-time channel from the server to the page's callback.
// WebSocketManager connects with the benchmark's domain (see tests/socketio/server.js); every
// "message" goes the way it goes in the application, through the client's thread, the JSON
// text and callJsCallback onto the main queue, up to the web view's evaluation of the
// "webSocketEvent(…)" script. The web view here only notes when each script arrives and the
// server's send time inside it, so the page's own JavaScript is not measured.
//
//   socketio_receiver <url> burst <n> <size>    prints "rate <messages per second>"
//   socketio_receiver <url> latency <n>         prints "latency <median µs> <p99 µs>"

#include "base/Config.h"
#include "bench/BenchHome.h"
#include "portable/Dispatch.h"
#include "services/WebSocketManager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::int64_t monotonicNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class TimingWebView final : public platform::WebView {
public:
    std::vector<std::int64_t> sent;
    std::vector<std::int64_t> arrived;

protected:
    void evaluateJavaScriptImpl(const std::string& script, ScriptCompletion completion) override
    {
        arrived.push_back(monotonicNanoseconds());
        // The script holds the message's JSON as an escaped string literal: …\"t\":\"<ns>\"…
        static const std::string marker = R"(\"t\":\")";
        const auto at = script.find(marker);
        sent.push_back(at == std::string::npos ? 0 : std::stoll(script.substr(at + marker.size())));
        if (completion)
            completion({});
    }
    void loadFileURLImpl(const std::filesystem::path&, const std::filesystem::path&) override {}
    std::optional<std::string> urlImpl() const override { return std::nullopt; }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <url> burst <n> <size> | latency <n>\n", argv[0]);
        return 2;
    }
    const std::string url = argv[1];
    const std::string mode = argv[2];
    const std::size_t n = std::stoul(argv[3]);
    const std::string size = argc > 4 ? argv[4] : "0";
    useTemporaryHome();
    auto& defaults = sharedConfig().defaults;
    defaults.set("socketserverurl", url);
    defaults.set("socketserverpath", std::string());
    defaults.set("uuid", std::string("bench"));

    WebSocketManager channel;
    auto view = std::make_shared<TimingWebView>();
    channel.connect(mode == "burst" ? "bench-burst-" + std::to_string(n) + "-" + size : "bench-latency-" + std::to_string(n),
                    view);
    if (!platform::runMainLoopUntil([&] { return view->arrived.size() >= n; }, std::chrono::seconds(60))) {
        std::fprintf(stderr, "received %zu of %zu messages\n", view->arrived.size(), n);
        return 1;
    }
    if (mode == "burst") {
        const double seconds = static_cast<double>(view->arrived[n - 1] - view->sent[0]) / 1e9;
        std::printf("rate %.0f\n", static_cast<double>(n) / seconds);
    } else {
        std::vector<double> micros;
        for (std::size_t i = 0; i < n; ++i)
            micros.push_back(static_cast<double>(view->arrived[i] - view->sent[i]) / 1e3);
        std::sort(micros.begin(), micros.end());
        std::printf("latency %.1f %.1f\n", micros[n / 2], micros[n * 99 / 100]);
    }
    return 0;
}
