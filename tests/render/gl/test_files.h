// Small asset files made by the tests themselves: binary glTF meshes (the shared writer), PNG
// images, a short stand-in song, and scratch folders to run in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "glb_writer.h"

namespace tc::test {

// RGBA8 pixels, rows top-down.
struct Image {
  int width;
  int height;
  std::vector<uint8_t> rgba;
};
Image SolidImage(int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a);
std::string EncodePng(const Image& image);

// 25 bytes of a TGA header declaring 20711 x 18254 true-colour pixels: an image library that
// trusted it would allocate about 1.5 GB before finding the pixels missing.
std::string HugeTgaHeader();

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// A fresh empty folder under the system's temp folder; removed by RemoveTree.
std::string MakeScratchDir(const std::string& tag);
void RemoveTree(const std::string& path);

// An MP3 (or, without the lame encoder, a WAV under the same name) of `seconds` of quiet tone.
void WriteStandInSong(const std::string& path, double seconds);

// Fills `dir`/resources with the five files the demo reads: the unit cube, three textures of
// `textureSize` squared (solid grey, red-ish, blue-ish), and a stand-in song of `songSeconds`.
void WriteStandInResources(const std::string& dir, int textureSize, double songSeconds);

// The repository's own resources folder, when all five real files are there.
bool RealResourcesPresent(std::string* folder);

}  // namespace tc::test
