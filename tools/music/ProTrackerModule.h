#pragma once
// A small 4-channel ProTracker module ("M.K.") made in code: one noise-burst
// sample, a pattern loop (E6x) and a position jump (Bxx). Tests and the fuzz
// seeds play it, so no module is ever downloaded.
#include <cstdint>
#include <string>
#include <vector>

namespace stagwerk::music {

// The song as it plays at speed 3, tempo 125 (60 ms a row):
//   order 0, pattern 0: row 0, rows 1-4 three times (E60 ... E62), rows 5-8,
//     then B02 jumps over order 1 to order 2;
//   order 2, pattern 2: rows 0-31, then D00 ends the song (no order follows).
// 17 + 32 = 49 rows: 2.94 s. Pattern 1 is never heard.
constexpr double kTestModuleRowSeconds = 0.06;
constexpr int kTestModuleRows = 49;
constexpr double kTestModuleSeconds = kTestModuleRows * kTestModuleRowSeconds;

std::vector<uint8_t> MakeTestModule();

// Throws std::runtime_error naming the file when it cannot be written.
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace stagwerk::music
