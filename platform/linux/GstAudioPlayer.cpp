#include "platform/linux/GstAudioPlayer.h"

#include "logger/Logger.h"

#include <mutex>

namespace platform {
namespace {

// playbin's "flags": audio only, with its own volume control.
constexpr int kPlayFlagAudio = 1 << 1;
constexpr int kPlayFlagSoftVolume = 1 << 4;
constexpr GstClockTime kPrerollWait = 5 * GST_SECOND;
constexpr GstClockTime kSeekWait = 1 * GST_SECOND;

bool initialized(std::string& error)
{
    static std::once_flag once;
    static std::string failure;
    std::call_once(once, [] {
        GError* raw = nullptr;
        if (!gst_init_check(nullptr, nullptr, &raw)) {
            failure = raw ? raw->message : "GStreamer could not start";
            g_clear_error(&raw);
        }
    });
    error = failure;
    return failure.empty();
}

// The text of the first error message waiting on `element`'s bus.
std::string pendingError(GstElement* element)
{
    g_autoptr(GstBus) bus = gst_element_get_bus(element);
    g_autoptr(GstMessage) message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    if (!message)
        return "the file could not be opened for playing";
    g_autoptr(GError) error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    return error ? error->message : "the file could not be played";
}

} // namespace

std::shared_ptr<GstAudioPlayer> GstAudioPlayer::create(const std::filesystem::path& file, std::string& error,
                                                       Output output)
{
    if (!initialized(error))
        return nullptr;
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (!playbin) {
        error = "GStreamer's playbin is missing";
        return nullptr;
    }
    g_autofree char* uri = g_filename_to_uri(std::filesystem::absolute(file).c_str(), nullptr, nullptr);
    g_object_set(playbin, "uri", uri, "flags", kPlayFlagAudio | kPlayFlagSoftVolume, nullptr);
    if (output == Output::silent) {
        GstElement* sink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sink, "sync", TRUE, nullptr);
        g_object_set(playbin, "audio-sink", sink, nullptr);
    }
    g_autoptr(GstBus) bus = gst_element_get_bus(playbin);
    auto player = std::make_shared<GstAudioPlayer>(playbin, 0);
    // The watch ends with the player (destructor), so the raw pointer never outlives it.
    player->busWatch_ = gst_bus_add_watch(bus, &GstAudioPlayer::onBusMessage, player.get());
    gst_element_set_state(playbin, GST_STATE_PAUSED);
    if (gst_element_get_state(playbin, nullptr, nullptr, kPrerollWait) != GST_STATE_CHANGE_SUCCESS) {
        error = file.string() + ": " + pendingError(playbin);
        return nullptr;
    }
    return player;
}

GstAudioPlayer::GstAudioPlayer(GstElement* playbin, guint busWatch) : playbin_(playbin), busWatch_(busWatch) {}

GstAudioPlayer::~GstAudioPlayer()
{
    if (busWatch_)
        g_source_remove(busWatch_);
    gst_element_set_state(playbin_, GST_STATE_NULL);
    gst_object_unref(playbin_);
}

void GstAudioPlayer::setState(GstState state)
{
    gst_element_set_state(playbin_, state);
    playing_ = state == GST_STATE_PLAYING;
}

void GstAudioPlayer::prepareToPlay()
{
    // Prerolled when made; nothing more to ready.
}

void GstAudioPlayer::play()
{
    setState(GST_STATE_PLAYING);
}

void GstAudioPlayer::pause()
{
    setState(GST_STATE_PAUSED);
}

void GstAudioPlayer::stop()
{
    // The position stays, so playing again goes on from here.
    setState(GST_STATE_PAUSED);
}

double GstAudioPlayer::currentTime() const
{
    gint64 position = 0;
    if (!gst_element_query_position(playbin_, GST_FORMAT_TIME, &position))
        return 0;
    return static_cast<double>(position) / GST_SECOND;
}

void GstAudioPlayer::setCurrentTime(double seconds)
{
    const auto position = static_cast<gint64>(std::max(0.0, seconds) * GST_SECOND);
    gst_element_seek_simple(playbin_, GST_FORMAT_TIME,
                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), position);
    gst_element_get_state(playbin_, nullptr, nullptr, kSeekWait);
}

double GstAudioPlayer::duration() const
{
    gint64 length = 0;
    if (!gst_element_query_duration(playbin_, GST_FORMAT_TIME, &length))
        return 0;
    return static_cast<double>(length) / GST_SECOND;
}

gboolean GstAudioPlayer::onBusMessage(GstBus*, GstMessage* message, gpointer data)
{
    auto* self = static_cast<GstAudioPlayer*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        self->setState(GST_STATE_PAUSED);
        self->setCurrentTime(0);
        break;
    case GST_MESSAGE_ERROR: {
        g_autoptr(GError) error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        LOG_ERROR(std::string("audio: ") + (error ? error->message : "playback failed"));
        self->setState(GST_STATE_PAUSED);
        break;
    }
    default:
        break;
    }
    return G_SOURCE_CONTINUE;
}

} // namespace platform
