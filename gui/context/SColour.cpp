#include "gui/context/SColour.h"

#include "gui/XDisplay.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace vexo::gui {

namespace {

// Colours already allocated, by connection and value: every allocation is a
// round trip to the server, and the panel asks for the same few colours for
// each of its controls. Entries live as long as the library.
struct ColourCache
{
  std::mutex lock;
  std::unordered_map<uint64_t, unsigned long> pixels;

  static uint64_t Key(Display* display, int r, int g, int b)
  {
    const auto rgb = static_cast<uint64_t>(((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF));
    return (static_cast<uint64_t>(reinterpret_cast<uintptr_t>(display)) << 24) ^ rgb;
  }
};

ColourCache& Cache()
{
  static ColourCache cache;
  return cache;
}

} // namespace

unsigned long SCOL(int r, int g, int b)
{
  Display* display = ActiveDisplay();
  if (!display)
    return 0;
  ColourCache& cache = Cache();
  const uint64_t key = ColourCache::Key(display, r, g, b);
  {
    std::lock_guard<std::mutex> hold(cache.lock);
    auto found = cache.pixels.find(key);
    if (found != cache.pixels.end())
      return found->second;
  }
  XColor colour{};
  colour.red = static_cast<unsigned short>(r * 256);
  colour.green = static_cast<unsigned short>(g * 256);
  colour.blue = static_cast<unsigned short>(b * 256);
  colour.flags = DoRed | DoGreen | DoBlue;
  if (!XAllocColor(display, DefaultColormap(display, 0), &colour))
    return BlackPixel(display, 0);
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.pixels.emplace(key, colour.pixel);
  return colour.pixel;
}

} // namespace vexo::gui
