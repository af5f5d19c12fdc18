#pragma once
// glTF files as assimp 5.2.5 can read them. It crashes on a skin without
// inverseBindMatrices, which glTF allows (identity matrices are meant); such
// a file is read from a copy that spells them out.
#include <optional>
#include <string>

namespace stagwerk::kq7 {

// The bytes of that copy (.gltf JSON or .glb), or nothing when the file
// needs none or is no glTF that reads.
std::optional<std::string> GltfForAssimp(const std::string& path);

}  // namespace stagwerk::kq7
