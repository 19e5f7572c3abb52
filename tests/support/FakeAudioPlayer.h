#pragma once
// An audio player that plays nothing: it keeps its state, its position and its length, which
// the test sets, and records the calls it got.

#include "platform/AudioPlayer.h"

#include <string>
#include <vector>

namespace testsupport {

class FakeAudioPlayer final : public platform::AudioPlayer {
public:
    explicit FakeAudioPlayer(std::filesystem::path file, double length = 60) : file(std::move(file)), length(length) {}

    void prepareToPlay() override { calls.push_back("prepareToPlay"); }
    void play() override { calls.push_back("play"), playing = true; }
    void pause() override { calls.push_back("pause"), playing = false; }
    void stop() override { calls.push_back("stop"), playing = false; }
    bool isPlaying() const override { return playing; }
    double currentTime() const override { return position; }
    void setCurrentTime(double seconds) override { position = seconds; }
    double duration() const override { return length; }

    std::filesystem::path file;
    double length;
    double position = 0;
    bool playing = false;
    std::vector<std::string> calls;
};

} // namespace testsupport
