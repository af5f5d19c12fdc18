#include "anim/SceneReader.h"

#include <gtest/gtest.h>

namespace stagwerk {
namespace {

TEST(SceneReader, EmptyInputIsAtEnd) {
  SceneReader reader{std::string_view()};
  EXPECT_TRUE(reader.AtEnd());
}

}  // namespace
}  // namespace stagwerk
