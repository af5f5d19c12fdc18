#pragma once
// What a validation run prints about a loaded demo, and the demo as JSON.
#include <nlohmann/json.hpp>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace stagwerk {

class Demo;

// JSON whose numbers are the player's own 32-bit floats, printed shortest.
using DumpJson = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool, std::int64_t,
                                      std::uint64_t, float>;

// The summary of --check: entries, scenes, meshes, textures.
void WriteDemoSummary(std::ostream& out, const Demo& demo);
// The loaded demo, and for every time in times the placement of each item.
DumpJson DumpDemo(Demo& demo, const std::vector<float>& times);

}  // namespace stagwerk
