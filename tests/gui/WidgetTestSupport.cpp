#include "tests/gui/WidgetTestSupport.h"

#include "gui/XDisplay.h"
#include "gui/context/SInput.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

namespace widgettest {

using vexo::gui::Point;
using vexo::gui::SControl;

Point OnScreen(const SControl& control, int x, int y)
{
  control.GetClient2Screen(&x, &y);
  return Point{x, y};
}

void MovePointer(int rootX, int rootY)
{
  Display* display = guitest::Display();
  XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
  XSync(display, False);
}

void PointAt(const SControl& control, int x, int y)
{
  const Point at = OnScreen(control, x, y);
  MovePointer(at.x, at.y);
}

void Press(unsigned button)
{
  Display* display = guitest::Display();
  XTestFakeButtonEvent(display, button, True, CurrentTime);
  XSync(display, False);
}

void Release(unsigned button)
{
  Display* display = guitest::Display();
  XTestFakeButtonEvent(display, button, False, CurrentTime);
  XSync(display, False);
}

void Click(const SControl& control, int x, int y, unsigned button)
{
  PointAt(control, x, y);
  Press(button);
  Release(button);
}

void Key(unsigned long keysym, bool down)
{
  Display* display = guitest::Display();
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), down ? True : False, CurrentTime);
  XSync(display, False);
}

bool DeliverUntilAt(const SControl& control, int x, int y, int ms)
{
  return guitest::DeliverUntil(
      [&] { return control.input && control.input->x == x && control.input->y == y; }, ms);
}

std::vector<int> Values(const guitest::Probe& probe, int code)
{
  std::vector<int> values;
  for (const vexo::gui::SEvent& event : probe.events)
    if (event.code == code)
      values.push_back(event.value);
  return values;
}

int CountColour(unsigned long drawable, int width, int height, unsigned long colour)
{
  Display* display = guitest::Display();
  XSync(display, False);
  XImage* image = XGetImage(display, drawable, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image)
    return -1;
  int count = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (XGetPixel(image, x, y) == colour)
        ++count;
  XDestroyImage(image);
  return count;
}

namespace {

uint32_t Crc(const std::vector<uint8_t>& bytes, size_t from)
{
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i)
    c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data)
{
  Put32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  Put32(png, Crc(png, start));
}

// An RGB image as a PNG whose pixel data is stored uncompressed in a zlib
// stream (deflate's stored blocks), which every viewer reads.
std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgb, int width, int height)
{
  std::vector<uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0); // no filter
    raw.insert(raw.end(), rgb.begin() + static_cast<long>(y) * width * 3,
               rgb.begin() + static_cast<long>(y + 1) * width * 3);
  }
  std::vector<uint8_t> zlib = {0x78, 0x01};
  size_t at = 0;
  do {
    const size_t length = std::min<size_t>(65535, raw.size() - at);
    const bool last = at + length == raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.push_back(static_cast<uint8_t>(length));
    zlib.push_back(static_cast<uint8_t>(length >> 8));
    zlib.push_back(static_cast<uint8_t>(~length));
    zlib.push_back(static_cast<uint8_t>(~length >> 8));
    zlib.insert(zlib.end(), raw.begin() + static_cast<long>(at),
                raw.begin() + static_cast<long>(at + length));
    at += length;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32(zlib, (b << 16) | a);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32(header, static_cast<uint32_t>(width));
  Put32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", zlib);
  Chunk(png, "IEND", {});
  return png;
}

// The position of the lowest set bit and the width of a colour mask.
void MaskShape(unsigned long mask, int& shift, int& bits)
{
  shift = 0;
  bits = 0;
  if (!mask)
    return;
  while (!(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++bits;
  }
}

uint8_t Channel(unsigned long pixel, unsigned long mask)
{
  int shift = 0, bits = 0;
  MaskShape(mask, shift, bits);
  if (!bits)
    return 0;
  const unsigned long value = (pixel & mask) >> shift;
  return static_cast<uint8_t>(value * 255 / ((1ul << bits) - 1));
}

} // namespace

bool SavePng(unsigned long drawable, int x, int y, int width, int height, const std::string& name)
{
  Display* display = guitest::Display();
  if (!display || width <= 0 || height <= 0)
    return false;
  XSync(display, False);
  XImage* image = XGetImage(display, drawable, x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image)
    return false;
  const Visual* visual = DefaultVisual(display, DefaultScreen(display));
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const unsigned long pixel = XGetPixel(image, column, row);
      rgb.push_back(Channel(pixel, visual->red_mask));
      rgb.push_back(Channel(pixel, visual->green_mask));
      rgb.push_back(Channel(pixel, visual->blue_mask));
    }
  }
  XDestroyImage(image);
  const std::string folder = std::string(QUILLET_BINARY_DIR) + "/screenshots";
  mkdir(folder.c_str(), 0755);
  const std::vector<uint8_t> png = EncodePng(rgb, width, height);
  FILE* file = std::fopen((folder + "/" + name + ".png").c_str(), "wb");
  if (!file)
    return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}

bool SavePng(const SControl& control, const std::string& name)
{
  return SavePng(control.window, 0, 0, control.Width(), control.Height(), name);
}

int MapState(Display* display, unsigned long window)
{
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes))
    return -1;
  return attributes.map_state;
}

} // namespace widgettest
