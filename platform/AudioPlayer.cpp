#include "platform/AudioPlayer.h"

#include "platform/Platform.h"
#include "portable/Check.h"

namespace platform {

std::shared_ptr<AudioPlayer> makeAudioPlayer(const std::filesystem::path& file, std::string& error)
{
    requireMainThread();
    if (!current().makeAudioPlayer) {
        error = "no audio on this platform";
        return nullptr;
    }
    return current().makeAudioPlayer(file, error);
}

} // namespace platform
