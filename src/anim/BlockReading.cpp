#include "anim/BlockReading.h"

#include "base/LoadError.h"
#include "base/SceneReader.h"

namespace stagwerk {

void ExpectToken(SceneReader& reader, std::string_view keyword, const char* message) {
  PathString token;
  reader.ReadToken(token);
  if (token.view() != keyword) throw LoadError(message);
}

void SkipChannelOptions(SceneReader& reader, PathString& token) {
  for (std::string_view keyword : {"LockedChannels", "KeyableChannels", "HController", "PController", "BController"}) {
    if (token == keyword) {
      reader.SkipToken();
      reader.ReadToken(token);
    }
  }
}

}  // namespace stagwerk
