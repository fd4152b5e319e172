// Writes the fuzz targets' generated seeds: `make_seeds DIR` fills DIR/mesh (meshes varied the
// ways the loader distinguishes), DIR/buffers (the file those meshes' uris name), DIR/png (small
// PNGs of each channel count) and DIR/song_time (trace input lines). The committed resources are
// added as seeds beside these by the fuzz runner.
#include <cstdio>
#include <string>

#include "glb_writer.h"
#include "stb_image_write.h"

namespace {

bool Write(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::string Png(int width, int height, int channels) {
  std::string pixels(static_cast<size_t>(width) * height * channels, '\0');
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<char>(i * 37);
  std::string out;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
      },
      &out, width, height, channels, pixels.data(), width * channels);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "make_seeds: usage: make_seeds DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  using namespace tc::test;
  bool ok = true;

  GlbSpec cube = UnitCube();
  ok &= Write(dir + "/mesh/cube.glb", BuildGlb(cube));
  ok &= Write(dir + "/buffers/cube.bin", BinaryChunk(cube));
  GlbSpec variant = cube;
  variant.indexComponentType = kUnsignedByte;
  ok &= Write(dir + "/mesh/byte_indices.glb", BuildGlb(variant));
  variant = cube;
  variant.indexComponentType = kUnsignedInt;
  variant.indexAccessorOffset = 4;
  ok &= Write(dir + "/mesh/int_indices_offset.glb", BuildGlb(variant));
  variant = cube;
  variant.vertexByteStride = 32;
  variant.positionAccessorOffset = 8;
  ok &= Write(dir + "/mesh/interleaved.glb", BuildGlb(variant));
  variant = cube;
  variant.bufferUri = "cube.bin";
  ok &= Write(dir + "/mesh/external_buffer.glb", BuildGlb(variant));
  variant = cube;
  variant.bufferUri = "data:application/octet-stream;base64,AAAAAAAAAAAAAAAA";
  variant.bufferByteLength = 12;
  ok &= Write(dir + "/mesh/data_uri.glb", BuildGlb(variant));

  for (int channels = 1; channels <= 4; ++channels) {
    ok &= Write(dir + "/png/" + std::to_string(channels) + "_channels.png", Png(5, 3, channels));
  }

  ok &= Write(dir + "/song_time/plain", "12.5\n");
  ok &= Write(dir + "/song_time/exponent", "  1.0e-3\t\r\n");
  ok &= Write(dir + "/song_time/hex", "0x1.8p3\n");
  ok &= Write(dir + "/song_time/blank", " \t\n");
  ok &= Write(dir + "/song_time/special", "-inf\n");
  if (!ok) {
    std::fprintf(stderr, "make_seeds: could not write the seeds under %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
