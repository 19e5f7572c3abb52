// The GStreamer player on a generated tone, into a sink that needs no sound card.
#include "platform/linux/GstAudioPlayer.h"
#include "portable/Dispatch.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace fs = std::filesystem;
using platform::GstAudioPlayer;

namespace {

// A WAV file of `seconds` of silence: 8-bit mono PCM at 8 kHz.
fs::path silentWav(const fs::path& folder, int seconds)
{
    const std::uint32_t rate = 8000;
    const std::uint32_t size = rate * static_cast<std::uint32_t>(seconds);
    auto le = [](std::uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
        return out;
    };
    const std::string wav = "RIFF" + le(36 + size, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(rate, 4)
                            + le(rate, 4) + le(1, 2) + le(8, 2) + "data" + le(size, 4) + std::string(size, '\x80');
    const fs::path file = folder / ("silence" + std::to_string(seconds) + ".wav");
    testsupport::writeFile(file, wav);
    return file;
}

} // namespace

TEST(GstAudioPlayer, FilesThatCannotPlayFailWithAReason)
{
    const fs::path folder = testsupport::makeTemporaryFolder("audio");
    testsupport::writeFile(folder / "text.mp3", "no sound in here");
    for (const fs::path& file : {folder / "missing.wav", folder / "text.mp3"}) {
        SCOPED_TRACE(file);
        std::string error;
        EXPECT_EQ(GstAudioPlayer::create(file, error, GstAudioPlayer::Output::silent), nullptr);
        EXPECT_FALSE(error.empty());
    }
}

TEST(GstAudioPlayer, PlaysSeeksStopsWhereItIsAndGoesBackToTheStartAtTheEnd)
{
    const fs::path folder = testsupport::makeTemporaryFolder("audio");
    std::string error;
    auto player = GstAudioPlayer::create(silentWav(folder, 20), error, GstAudioPlayer::Output::silent);
    ASSERT_TRUE(player) << error;
    EXPECT_NEAR(player->duration(), 20.0, 0.05);
    EXPECT_NEAR(player->currentTime(), 0.0, 0.05);

    player->setCurrentTime(5);
    EXPECT_NEAR(player->currentTime(), 5.0, 0.05);
    player->play();
    EXPECT_TRUE(player->isPlaying());
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return player->currentTime() > 5.2; }, std::chrono::seconds(10)));
    player->stop();
    EXPECT_FALSE(player->isPlaying());
    const double stoppedAt = player->currentTime();
    platform::runMainLoopUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_NEAR(player->currentTime(), stoppedAt, 0.05);

    // Close to the end, played out: the player pauses at the start again.
    player->setCurrentTime(19.7);
    player->play();
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return !player->isPlaying(); }, std::chrono::seconds(10)));
    EXPECT_NEAR(player->currentTime(), 0.0, 0.05);
}
