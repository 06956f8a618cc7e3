// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The forms place every widget at a fixed pixel rectangle, measured for a 9 pt
// font of narrow widths. Desktop default fonts are wider and cut texts, so the
// program sets this font, which its package depends on, as the application font.
namespace ApplicationFont {

inline constexpr char family[] = "Carlito";
inline constexpr int pointSize = 9;

// Whether the font is installed.
bool isInstalled();

// Sets the font for every widget created from now on; warns when it is not installed.
void apply();

} // namespace ApplicationFont
