#pragma once
// A scene camera.
namespace stagwerk {

struct Camera {};

}  // namespace stagwerk
