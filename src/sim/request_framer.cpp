#include "request_framer.h"

namespace pmv::sim {

std::vector<Frame> RequestFramer::Feed(std::string_view bytes, Clock::time_point now)
{
    std::vector<Frame> frames;
    for (const char c : bytes) {
        if (!inRun_) {
            inRun_ = true;
            runStart_ = now;
            runBytes_ = 0;
        }
        ++runBytes_;
        if (c == ':') {
            inLine_ = true;
            line_.clear();
        } else if (!inLine_) {
            continue;
        } else if (c == '\r' || (lineFeedEnds_ && c == '\n')) {
            frames.push_back({std::move(line_), runStart_, now, runBytes_});
            line_.clear();
            inLine_ = false;
            inRun_ = false;
        } else if (line_.size() < kMaxLine) {
            line_ += c;
        } else {
            line_.clear();
            inLine_ = false;
            inRun_ = false;
        }
    }
    return frames;
}

}  // namespace pmv::sim
