#include "kq7/formats/demoscene/SceneNames.h"

#include "base/SceneReader.h"

namespace stagwerk::kq7 {

namespace {

bool Holds(unsigned char c) { return IsTokenChar(c) && c != '/' && c != '#' && c != '"'; }

}  // namespace

bool IsSceneName(const std::string& name) {
  if (name.empty() || name.size() > kMaxSceneName) return false;
  for (char c : name) {
    if (!Holds(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string SceneNameFrom(const std::string& text) {
  if (IsSceneName(text) && text.find('.') == std::string::npos) return text;
  std::string name;
  for (char c : text) {
    const char word = Holds(static_cast<unsigned char>(c)) && c != '.' ? c : '_';
    if (word != '_' || (!name.empty() && name.back() != '_')) name += word;
  }
  if (name.size() > kMaxSceneName) name.resize(kMaxSceneName);
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name.empty() ? "scene" : name;
}

}  // namespace stagwerk::kq7
