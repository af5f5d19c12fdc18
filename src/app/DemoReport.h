#pragma once
// What a validation run prints about a loaded demo, and the demo as JSON.
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

namespace stagwerk {

class Demo;

// The summary of --check: entries, scenes, meshes, textures.
void WriteDemoSummary(std::ostream& out, const Demo& demo);
// The loaded demo, and for every time in times the placement of each item.
nlohmann::ordered_json DumpDemo(Demo& demo, const std::vector<float>& times);

}  // namespace stagwerk
