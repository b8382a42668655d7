// The product's text logo for the panel: an XPM image of 50 x 88 pixels,
// 2 characters per pixel, "Quillet" written upwards in yellow to orange
// shades with an orange bar beside it, on the panel's dark slate (#4D5154).
#pragma once

namespace vexo::images {

constexpr int kTextLogoWidth = 50;
constexpr int kTextLogoHeight = 88;

extern const char* const text_logo[];

} // namespace vexo::images
