#include "platform/testsupport/TestVideos.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace TestVideos {

bool make(const std::string& hostPath, const std::vector<Segment>& segments, int width, int height) {
    if (segments.empty()) {
        ADD_FAILURE() << "a test video needs a segment";
        return false;
    }
    std::ostringstream command;
    command << "ffmpeg -nostdin -v error -y";
    for (const auto& s : segments)
        command << " -f lavfi -i color=c=" << s.colour << ":s=" << width << "x" << height << ":r=10:d=" << s.seconds;
    command << " -filter_complex '";
    for (std::size_t i = 0; i < segments.size(); ++i) command << "[" << i << ":v]";
    command << "concat=n=" << segments.size() << ":v=1:a=0[v]' -map '[v]' -c:v libx264 -pix_fmt yuv420p '" << hostPath << "'";
    const int status = std::system(command.str().c_str());
    if (status != 0) {
        ADD_FAILURE() << "ffmpeg failed (" << status << "): " << command.str();
        return false;
    }
    return true;
}

} // namespace TestVideos
