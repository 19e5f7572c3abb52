#pragma once
// A player of one audio file, as the page's "controlAudio" drives it: play, pause, stop (which
// keeps the position, so a later play goes on from there), and the position in seconds.
// A file that plays to its end stops and goes back to its start, and nobody is told.
//
// Main thread only. The caller owns the player; dropping it ends the playback.

#include <filesystem>
#include <memory>
#include <string>

namespace platform {

class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;

    // Readies the file for playing without sound, so play() starts at once.
    virtual void prepareToPlay() = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
    // The position and the length of the file, in seconds.
    virtual double currentTime() const = 0;
    virtual void setCurrentTime(double seconds) = 0;
    virtual double duration() const = 0;
};

// A player for the audio file at `file` from the installed platform; nothing when the file
// can't be played (then `error` says why) or when the platform has no audio.
std::shared_ptr<AudioPlayer> makeAudioPlayer(const std::filesystem::path& file, std::string& error);

} // namespace platform
