// The default cursor's two 24 x 24 one-bit bitmaps in X bitmap layout
// (3 bytes per row, least significant bit first), hot spot 0, 0: an arrow's
// outline (drawn in the foreground, black) and the whole arrow as the mask
// (the inside shows the background, orange).
#pragma once

namespace vexo::images {

constexpr int kDefaultCursorSize = 24;

extern const unsigned char kDefaultCursorImage[72];
extern const unsigned char kDefaultCursorMask[72];

} // namespace vexo::images
