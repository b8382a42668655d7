#include "host/HostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

namespace qhost {

EventProc ReadEventProc(Display* display, unsigned long window)
{
  const Atom property = XInternAtom(display, "_XEventProc", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  EventProc procedure = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1, False, AnyPropertyType, &type, &format,
                         &items, &after, &data) == Success &&
      data && items == 1 && format == 32)
    procedure = reinterpret_cast<EventProc>(*reinterpret_cast<unsigned long*>(data));
  if (data)
    XFree(data);
  return procedure;
}

bool SaveWindowPng(Display* display, unsigned long window, const std::string& path)
{
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes))
    return false;
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (!image)
    return false;
  const std::string ppm = path + ".ppm";
  FILE* file = std::fopen(ppm.c_str(), "wb");
  if (!file) {
    XDestroyImage(image);
    return false;
  }
  std::fprintf(file, "P6\n%d %d\n255\n", attributes.width, attributes.height);
  for (int y = 0; y < attributes.height; ++y) {
    for (int x = 0; x < attributes.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      const unsigned char rgb[3] = {static_cast<unsigned char>((pixel >> 16) & 0xFF),
                                    static_cast<unsigned char>((pixel >> 8) & 0xFF),
                                    static_cast<unsigned char>(pixel & 0xFF)};
      std::fwrite(rgb, 1, 3, file);
    }
  }
  std::fclose(file);
  XDestroyImage(image);
  const std::string command = "/usr/bin/convert '" + ppm + "' '" + path + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  std::remove(ppm.c_str());
  return status == 0;
}

} // namespace qhost
