#pragma once
// kq7 scene: a LightWave or glTF scene in, a demo folder out.
#include <ostream>
#include <string>
#include <vector>

namespace stagwerk::kq7 {

// args without "kq7 scene"; returns the exit status: 0 done (warnings or
// not), 1 bad input or a mesh that did not convert, 2 bad command line.
int RunSceneCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const kSceneUsage;

}  // namespace stagwerk::kq7
