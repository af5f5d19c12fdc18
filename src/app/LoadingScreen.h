#pragma once
// The waiting picture over the whole viewport while the demo loads.
namespace stagwerk {

struct Texture;

// Draws into the frame's picture; the caller shows it.
void ShowLoadingScreen(const Texture& picture);

}  // namespace stagwerk
