// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The product's name and version, shown in the main window's title and in the
// About window.
namespace ProductInfo {
inline constexpr char title[] = "QR36-TN Setting tool";
inline constexpr char version[] = "Version 1.00";
} // namespace ProductInfo
