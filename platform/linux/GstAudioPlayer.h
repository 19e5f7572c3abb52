#pragma once
// The audio player on GStreamer's playbin: the file is prerolled when the player is made (so a
// file that can't be played fails at once, with GStreamer's reason), "stop" pauses where it is,
// and the end of the file pauses the player and goes back to its start. Video streams are not
// decoded.
//
// Main thread only: the end of the file is heard through a watch on the main context's bus.
// Seeks wait (at most a second) until the pipeline shows the new position.

#include "platform/AudioPlayer.h"

#include <gst/gst.h>

#include <memory>
#include <string>

namespace platform {

class GstAudioPlayer final : public AudioPlayer {
public:
    // Where the sound goes: the desktop's audio output, or nowhere (in real time all the same,
    // for machines without a sound card).
    enum class Output { desktop, silent };

    // A player for `file`. Nothing, with the reason in `error`, when GStreamer or the file
    // can't be used.
    static std::shared_ptr<GstAudioPlayer> create(const std::filesystem::path& file, std::string& error,
                                                  Output output = Output::desktop);
    ~GstAudioPlayer() override;

    void prepareToPlay() override;
    void play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override { return playing_; }
    double currentTime() const override;
    void setCurrentTime(double seconds) override;
    double duration() const override;

    GstAudioPlayer(GstElement* playbin, guint busWatch);

private:
    static gboolean onBusMessage(GstBus*, GstMessage* message, gpointer self);
    void setState(GstState state);

    GstElement* playbin_;
    guint busWatch_;
    bool playing_ = false;
};

} // namespace platform
