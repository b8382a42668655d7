#include "host/HostStyle.h"

#include <X11/Xlib.h>

#include <algorithm>

namespace qhost {

namespace {

struct NamedStyle
{
  HostStyle style;
  HostStyleTraits traits;
};

const NamedStyle kStyles[] = {
    {HostStyle::Ardour, {"ardour", true, 1, 40, true}},
    {HostStyle::OwnLoop, {"own-loop", true, 2, 20, false}},
    {HostStyle::Qtractor, {"qtractor", false, 2, 20, false}},
    {HostStyle::EventProc, {"eventproc", true, 2, 20, false}},
    {HostStyle::NoDisplayEventProc, {"no-display-eventproc", false, 2, 20, false}},
    {HostStyle::Selective, {"selective", true, 2, 20, false}},
};

Bool OwnWindowEvent(Display*, XEvent* event, XPointer host)
{
  const auto* windows = reinterpret_cast<const std::vector<unsigned long>*>(host);
  return std::find(windows->begin(), windows->end(), event->xany.window) != windows->end() ? True
                                                                                           : False;
}

} // namespace

const HostStyleTraits& Traits(HostStyle style)
{
  for (const NamedStyle& named : kStyles)
    if (named.style == style)
      return named.traits;
  return kStyles[0].traits;
}

const std::vector<HostStyle>& AllHostStyles()
{
  static const std::vector<HostStyle> all = [] {
    std::vector<HostStyle> styles;
    for (const NamedStyle& named : kStyles)
      styles.push_back(named.style);
    return styles;
  }();
  return all;
}

bool ParseHostStyle(const std::string& name, HostStyle& style)
{
  for (const NamedStyle& named : kStyles) {
    if (name == named.traits.name) {
      style = named.style;
      return true;
    }
  }
  return false;
}

std::string HostStyleNames()
{
  std::string names;
  for (const NamedStyle& named : kStyles) {
    if (!names.empty())
      names += "|";
    names += named.traits.name;
  }
  return names;
}

HostEvents::HostEvents(Display* display_, HostStyle style_) : display(display_), style(style_) {}

void HostEvents::AddOwnWindow(unsigned long window)
{
  if (!window || Own(window))
    return;
  ownWindows.push_back(window);
  long mask = StructureNotifyMask | ExposureMask;
  // An ardour-style host learns the event procedure when a window is
  // reparented into its own, which it hears of through SubstructureNotify.
  if (style == HostStyle::Ardour)
    mask |= SubstructureNotifyMask;
  XSelectInput(display, window, mask);
}

bool HostEvents::Own(unsigned long window) const
{
  return std::find(ownWindows.begin(), ownWindows.end(), window) != ownWindows.end();
}

void HostEvents::Learn(const XEvent& event)
{
  // Only a window that went into one of the host's windows, and the
  // property read as one 32-bit item, as such a host reads it.
  if (event.type != ReparentNotify || !Own(event.xreparent.parent))
    return;
  if (EventProc procedure = ReadEventProc(display, event.xreparent.window))
    learned = procedure;
}

int HostEvents::Drain(const std::function<void(XEvent&)>& own)
{
  int handed = 0;
  XEvent event;
  if (style == HostStyle::Selective) {
    while (
        XCheckIfEvent(display, &event, OwnWindowEvent, reinterpret_cast<XPointer>(&ownWindows))) {
      own(event);
    }
    return 0;
  }
  while (XPending(display) > 0) {
    XNextEvent(display, &event);
    const bool mine = Own(event.xany.window);
    switch (style) {
    case HostStyle::Ardour:
      Learn(event);
      if (learned) {
        learned(&event);
        ++handed;
      }
      break;
    case HostStyle::EventProc:
    case HostStyle::NoDisplayEventProc:
      if (!mine) {
        if (EventProc procedure = ReadEventProc(display, event.xany.window)) {
          procedure(&event);
          ++handed;
        }
      }
      break;
    default:
      // The host's toolkit drops what is not its own.
      break;
    }
    if (mine)
      own(event);
  }
  return handed;
}

} // namespace qhost
