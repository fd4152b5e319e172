#include "demo/frame.h"

#include <ostream>
#include <streambuf>

namespace tc {
namespace {

// Beat lines of the frames skipped over go nowhere.
class DiscardBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

int64_t FastForwardChoreography(DemoState& state, Mat4& projection, const ShapeTable& table,
                                int framesPerSecond, double startSeconds) {
  DiscardBuffer discard;
  std::ostream silent(&discard);
  NullRenderer renderer;
  int64_t index = 0;
  for (;; ++index) {
    const float songSeconds = FixedRateFrameTime(index, framesPerSecond);
    if (!(static_cast<double>(songSeconds) < startSeconds)) break;
    RunChoreographyFrame(state, projection, table, songSeconds, silent, renderer);
  }
  return index;
}

}  // namespace tc
