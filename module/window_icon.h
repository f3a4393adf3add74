#pragma once

// The application icon for the dialog's windows, as 8-bit RGBA rows,
// rendered from the application's SVG at build time.
inline constexpr int kWindowIconSize = 48;
extern const unsigned char kWindowIconRgba[kWindowIconSize * kWindowIconSize * 4];
