#include "tests/testsupport/XvfbServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

TEST(XvfbServer, StartsAPrivateServerThatAcceptsClients)
{
  testsupport::XvfbServer server({"-screen", "0", "640x480x24"});
  ASSERT_TRUE(server.Running()) << server.Error();
  Display* display = XOpenDisplay(server.Name().c_str());
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(DisplayWidth(display, DefaultScreen(display)), 640);
  EXPECT_EQ(DisplayHeight(display, DefaultScreen(display)), 480);
  XCloseDisplay(display);
}
