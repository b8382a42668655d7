// The fixture of the panel tests: an EditorHost of one host model with the
// editor open on its first view (145 pixels wide), run on the test's thread.
#pragma once

#include "tests/editor/EditorHost.h"

#include <gtest/gtest.h>

#include <memory>

namespace edittest {

class OpenedEditor : public ::testing::Test
{
protected:
  void StartIn(qhost::HostStyle style)
  {
    Options options;
    options.style = style;
    host = std::make_unique<EditorHost>(std::move(options));
    ASSERT_TRUE(host->Ready());
    host->Open();
    ASSERT_TRUE(host->PumpUntil([&] { return Width() == 145; }));
    host->Pump(100);
  }
  qhost::PluginInstance& Plugin() { return host->Plugin(); }
  int Width() { return host->Width(host->Window()); }
  int Height() { return host->Height(host->Window()); }
  bool WaitWidth(int width)
  {
    return host->PumpUntil([&] { return Width() == width; });
  }
  bool WaitHeight(int height)
  {
    return host->PumpUntil([&] { return Height() == height; });
  }

  std::unique_ptr<EditorHost> host;
};

} // namespace edittest
