#pragma once
// Builds KQ7 file bytes from a plain description. The arrays are written as
// given, section by section as the flags switch them on: nothing is checked
// or derived beyond the counts, so tests can write broken files too.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "objects/Mesh.h"

namespace stagwerk {

struct Kq7Description {
  uint8_t flags = 0;
  std::string textureName;         // with HasTexture
  std::string environmentMapName;  // with HasEnvironmentMap
  std::string secondTextureName;   // with HasSecondTexture
  std::vector<std::array<float, 3>> positions;
  // Vertex index of each corner, polygon by polygon. With AllTriangles the
  // corner counts are left out and the corners written one after another.
  std::vector<std::vector<uint16_t>> polygons;
  std::vector<std::array<float, 2>> uvs;
  std::vector<uint16_t> uvIndices;  // one per corner
  std::vector<std::array<float, 4>> colours;
  std::vector<uint16_t> colourIndices;
  std::vector<std::array<float, 2>> uvs2;
  std::vector<uint16_t> uv2Indices;
  std::vector<std::vector<MorphDelta>> morphTargets;
  std::vector<uint32_t> boneVertexData;  // one per vertex
  std::vector<uint16_t> polygonBones;    // one per polygon
};

// Throws std::length_error when a count does not fit 16 bits.
std::vector<unsigned char> WriteKq7(const Kq7Description& mesh);
void WriteKq7File(const std::string& path, const Kq7Description& mesh);

}  // namespace stagwerk
