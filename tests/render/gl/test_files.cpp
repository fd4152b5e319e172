#include "test_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "stb_image_write.h"

namespace tc::test {
namespace {

void AppendBytes(std::string& out, const void* data, size_t size) {
  out.append(static_cast<const char*>(data), size);
}

}  // namespace

Image SolidImage(int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  Image image{width, height, {}};
  for (int i = 0; i < width * height; ++i)
    image.rgba.insert(image.rgba.end(), {r, g, b, a});
  return image;
}

std::string EncodePng(const Image& image) {
  std::string out;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
      },
      &out, image.width, image.height, 4, image.rgba.data(), image.width * 4);
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

std::string MakeScratchDir(const std::string& tag) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/tc-" + tag + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const char* made = mkdtemp(buffer.data());
  return made != nullptr ? std::string(made) : std::string();
}

void RemoveTree(const std::string& path) {
  if (path.empty() || path.find("/tc-") == std::string::npos) return;
  const std::string command = "rm -rf '" + path + "'";
  if (std::system(command.c_str()) != 0)
    std::fprintf(stderr, "could not remove %s\n", path.c_str());
}

void WriteStandInSong(const std::string& path, double seconds) {
  // 16-bit mono WAV of a quiet 220 Hz tone at 22050 Hz.
  const int rate = 22050;
  const uint32_t frames = static_cast<uint32_t>(seconds * rate);
  std::string wav = "RIFF";
  const uint32_t dataBytes = frames * 2;
  const uint32_t riffSize = 36 + dataBytes;
  AppendBytes(wav, &riffSize, 4);
  wav += "WAVEfmt ";
  const uint32_t fmtSize = 16;
  const uint16_t format = 1, channels = 1, blockAlign = 2, bits = 16;
  const uint32_t sampleRate = rate, byteRate = rate * 2;
  AppendBytes(wav, &fmtSize, 4);
  AppendBytes(wav, &format, 2);
  AppendBytes(wav, &channels, 2);
  AppendBytes(wav, &sampleRate, 4);
  AppendBytes(wav, &byteRate, 4);
  AppendBytes(wav, &blockAlign, 2);
  AppendBytes(wav, &bits, 2);
  wav += "data";
  AppendBytes(wav, &dataBytes, 4);
  for (uint32_t i = 0; i < frames; ++i) {
    const int16_t sample =
        static_cast<int16_t>(2000.0 * std::sin(2.0 * 3.14159265358979 * 220.0 * i / rate));
    AppendBytes(wav, &sample, 2);
  }
  const std::string wavPath = path + ".wav";
  WriteFile(wavPath, wav);
  const std::string command = "lame --quiet '" + wavPath + "' '" + path + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0 || !FileExists(path)) {
    // miniaudio recognises the content whatever the file is called.
    WriteFile(path, wav);
  }
  std::remove(wavPath.c_str());
}

void WriteStandInResources(const std::string& dir, int textureSize, double songSeconds) {
  const std::string resources = dir + "/resources";
  mkdir(resources.c_str(), 0755);
  WriteFile(resources + "/mesh2.glb", BuildGlb(UnitCube()));
  WriteFile(resources + "/texture1.png",
            EncodePng(SolidImage(textureSize, textureSize, 128, 128, 128, 255)));
  WriteFile(resources + "/texture2.png",
            EncodePng(SolidImage(textureSize, textureSize, 90, 30, 20, 255)));
  WriteFile(resources + "/texture3.png",
            EncodePng(SolidImage(textureSize, textureSize, 20, 40, 90, 255)));
  WriteStandInSong(resources + "/audio.mp3", songSeconds);
}

bool RealResourcesPresent(std::string* folder) {
  const std::string resources = std::string(TC_SOURCE_DIR) + "/resources";
  for (const char* name :
       {"mesh2.glb", "texture1.png", "texture2.png", "texture3.png", "audio.mp3"}) {
    if (!FileExists(resources + "/" + name)) return false;
  }
  if (folder != nullptr) *folder = resources;
  return true;
}

std::string HugeTgaHeader() {
  std::string tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  tga += {static_cast<char>(20711 & 255),
          static_cast<char>(20711 >> 8),
          static_cast<char>(18254 & 255),
          static_cast<char>(18254 >> 8),
          32,
          8};
  tga += std::string(7, '\x55');
  return tga;
}

}  // namespace tc::test
