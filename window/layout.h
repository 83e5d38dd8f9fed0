#pragma once

#include <cstdint>

namespace pandicube {

// The window's fixed sizes and colours. Sizes are in twips; colours are
// 0x00BBGGRR values, as the window's control operations take them.
inline constexpr int kClientWidth = 9765;
inline constexpr int kClientHeight = 7395;

inline constexpr std::uint32_t kPanelColour = 0xC0E0FF;     // RGB 255, 224, 192
inline constexpr std::uint32_t kStartCellYellow = 0xC0FFFF; // RGB 255, 255, 192
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kLightRed = 0x8080FF;     // RGB 255, 128, 128: a refused field
inline constexpr std::uint32_t kGrey = 0x808080;         // text of the working display during and after a run
inline constexpr std::uint32_t kBlue = 0xFF0000;         // RGB 0, 0, 255
inline constexpr std::uint32_t kRed = 0x0000FF;          // RGB 255, 0, 0
inline constexpr std::uint32_t kCreditColour = 0xFFC0C0; // RGB 192, 192, 255
inline constexpr std::uint32_t kBlack = 0x000000;

// The working display's cells for the four start values, in the order in
// which they are read and checked.
inline constexpr int kStartCells[] = {10, 14, 17, 18};

constexpr bool IsStartCell(int k)
{
    return k == 10 || k == 14 || k == 17 || k == 18;
}

// Working-display cells besides the start cells that the user may type into.
constexpr bool IsWhiteWorkingCell(int k)
{
    return k == 1 || k == 2 || k == 3 || k == 9 || k == 15 || k == 16;
}

} // namespace pandicube
