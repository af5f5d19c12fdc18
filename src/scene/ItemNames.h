#pragma once
// The names tools give a scene's objects, lights and cameras: an object's
// file or null name, a light's name, "Camera" for a camera. A name that
// repeats in the scene gets " (2)", " (3)" ... from its second use on, in
// item order, so that each names one item.
#include <string>
#include <vector>

namespace stagwerk {

struct Scene;

// By SceneItem::itemIndex.
std::vector<std::string> ItemNames(const Scene& scene);

}  // namespace stagwerk
