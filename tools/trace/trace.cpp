// zephyrine-trace: runs the demo's choreography without graphics or audio and prints every
// frame's timing, projection and world matrices, one line each, for checking the choreography
// against an independent implementation.
//
// Standard input: song times in decimal seconds, one per line, taken as the consecutive frames of
// one fresh run (blank lines are skipped). Like the demo, the run ends after the frame whose beat
// exceeds 289; later lines are not read. Standard output, per frame:
//   frame <n> time <t> jitter <j> beat <b> texture <i> event <0|1> cubes <c>
//   P <16 floats of the projection as stored>
//   W <16 floats of one world matrix as stored>        (c lines, in draw order)
// Floats use %.9g, which reads back to the same 32-bit float.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <streambuf>
#include <string>

#include "demo/frame.h"
#include "tools/trace/song_time.h"

namespace {

// Beat lines go nowhere: the trace's output is the frame records alone.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void AppendMatrix(std::string& out, char tag, const tc::Mat4& m) {
  char text[24];
  out += tag;
  for (float f : m.m) {
    std::snprintf(text, sizeof text, " %.9g", static_cast<double>(f));
    out += text;
  }
  out += '\n';
}

// Collects the frame's world matrices as text; the trace tool is free to allocate.
struct TraceRenderer {
  std::string lines;
  long cubes = 0;
  void ClearFrame() {
    lines.clear();
    cubes = 0;
  }
  void BindCubeTexture(int32_t) {}
  void DrawCube(const tc::Mat4& world) {
    AppendMatrix(lines, 'W', world);
    ++cubes;
  }
};

}  // namespace

int main() {
  static char outputBuffer[1 << 20];
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);

  NullBuffer nullBuffer;
  std::ostream beatLog(&nullBuffer);

  tc::DemoState state;
  tc::Mat4 projection = {};
  static tc::ShapeTable table;
  tc::BuildShapeTable(table);
  TraceRenderer renderer;

  std::string line;
  char chunk[256];
  long lineNumber = 0;
  long frame = 0;
  bool ended = false;
  while (!ended) {
    line.clear();
    bool gotAny = false;
    while (std::fgets(chunk, sizeof chunk, stdin) != nullptr) {
      gotAny = true;
      line += chunk;
      if (!line.empty() && line.back() == '\n') break;
    }
    if (!gotAny) break;
    ++lineNumber;

    float songSeconds = 0.0f;
    bool blank = false;
    if (!tc::ParseSongTime(line.c_str(), songSeconds, blank)) {
      if (blank) continue;
      std::fflush(stdout);
      std::fprintf(stderr, "zephyrine-trace: line %ld of standard input is not a song time\n",
                   lineNumber);
      return 1;
    }

    const tc::FrameEvents events =
        tc::RunChoreographyFrame(state, projection, table, songSeconds, beatLog, renderer);
    const tc::FrameTiming& t = events.timing;
    std::printf("frame %ld time %.9g jitter %.9g beat %.9g texture %d event %d cubes %ld\n", frame,
                static_cast<double>(t.songSeconds), static_cast<double>(t.jitterSeconds),
                static_cast<double>(t.beat), static_cast<int>(state.textureIndex),
                events.newBeat ? 1 : 0, renderer.cubes);
    std::string projectionLine;
    AppendMatrix(projectionLine, 'P', projection);
    std::fputs(projectionLine.c_str(), stdout);
    std::fputs(renderer.lines.c_str(), stdout);
    ++frame;
    ended = tc::TimelineEnded(t.beat);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "zephyrine-trace: writing standard output failed\n");
    return 1;
  }
  return 0;
}
