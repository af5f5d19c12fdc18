#pragma once
// Builders for scene file text in the LightWave 6 layout.
#include <string>
#include <vector>

namespace stagwerk::testing {

// An envelope block of linear keys (value, time) with the given behaviours.
inline std::string LinearEnvelope(const std::vector<std::pair<float, float>>& keys, int pre = 1, int post = 1) {
  std::string text = "{ Envelope\n  " + std::to_string(keys.size()) + "\n";
  for (const auto& [value, time] : keys) {
    text += "  Key " + std::to_string(value) + " " + std::to_string(time) + " 3 0 0 0 0 0 0\n";
  }
  return text + "  Behaviors " + std::to_string(pre) + " " + std::to_string(post) + "\n}\n";
}

// A channel block of constant channels.
inline std::string Channels(const std::vector<float>& values) {
  std::string text = "NumChannels " + std::to_string(values.size()) + "\n";
  for (std::size_t i = 0; i < values.size(); ++i) {
    text += "Channel " + std::to_string(i) + "\n" + LinearEnvelope({{values[i], 0.0f}});
  }
  return text;
}

inline std::string Motion9(float x = 0, float y = 0, float z = 0) { return Channels({x, y, z, 0, 0, 0, 1, 1, 1}); }
inline std::string Motion6(float x = 0, float y = 0, float z = 0) { return Channels({x, y, z, 0, 0, 0}); }

inline std::string SceneHeader(int first = 1, int last = 60, int fps = 30) {
  return "LWSC\n3\n\nFirstFrame " + std::to_string(first) + "\nLastFrame " + std::to_string(last) +
         "\nFramesPerSecond " + std::to_string(fps) + "\n\n";
}

inline std::string NullObject(const std::string& name, const std::string& between = "",
                              const std::string& tail = "ShadowOptions 7\n") {
  return "AddNullObject " + name + "\nShowObject 6 3\nObjectMotion\n" + Motion9() + between + tail + "\n";
}

inline std::string CameraBlock(const std::string& between = "", const std::string& zoom = "ZoomFactor 3.2\n",
                               const std::string& blur = "MotionBlur 0\nFieldRendering 0\n",
                               const std::string& rest = "DepthOfField 0\n") {
  return "AddCamera\nCameraName Camera\nShowCamera 1 2\nCameraMotion\n" + Motion6() + between + zoom +
         "ResolutionMultiplier 1.0\nFrameSize 640 480\nPixelAspect 1\nMaskPosition 0 0 640 480\n" + blur + rest +
         "\n";
}

inline std::string LightBlock(const std::string& name, const std::string& intensity = "LightIntensity 1\n",
                              const std::string& type = "LightType 1\n", const std::string& rest = "ShadowType 1\n",
                              const std::string& between = "") {
  return "AddLight\nLightName " + name + "\nShowLight 0 7\nLightMotion\n" + Motion6() + between +
         "LightColor 1 0.5 0.25\n" + intensity + type + "LightFalloffType 0\nLightRange 1\n" + rest + "\n";
}

}  // namespace stagwerk::testing
