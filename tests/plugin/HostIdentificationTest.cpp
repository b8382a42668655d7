#include "editor/SPluginEditor.h"
#include "engine/VSTPlugin.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/PluginFixture.h"

#include <gtest/gtest.h>

using testsupport::DirectHost;

namespace {

struct Identified
{
  int status;
  int32_t hostApp;
  std::string name;
};

Identified Identify(const std::string& product, VstIntPtr vendorVersion = 1)
{
  DirectHost::Reset();
  DirectHost::product = product;
  DirectHost::vendorVersion = vendorVersion;
  int status = 0;
  VSTPlugin plugin(DirectHost::Callback, status);
  return {status, EditorOf(plugin)->HostApp(), plugin.PluginHostName()};
}

} // namespace

TEST(HostIdentification, ProductStringsMapToTheirHosts)
{
  EXPECT_EQ(Identify("").name, "(unknown)");
  EXPECT_EQ(Identify("Some DAW").hostApp, 0);
  EXPECT_EQ(Identify("energyXT2.5").name, "Energy XT");
  EXPECT_EQ(Identify("energyXT2.5").hostApp, 2);
  EXPECT_EQ(Identify("Cantabile Lite").name, "Cantabile");
  EXPECT_EQ(Identify("SAVIHost").name, "SaviHost");
  EXPECT_EQ(Identify("Melodyne studio").name, "Melodyne");
  EXPECT_EQ(Identify("Samplitude 11").name, "Samplitude");
  EXPECT_EQ(Identify("Tracktion 3").name, "Tracktion");
  EXPECT_EQ(Identify("Phrazor").name, "Phrazor");
  EXPECT_EQ(Identify("energyxt").hostApp, 0) << "the comparison is case-sensitive";
}

TEST(HostIdentification, CubaseIsSplitByVendorVersion)
{
  EXPECT_EQ(Identify("Cubase SX", 8199).name, "Cubase/Nuendo");
  EXPECT_EQ(Identify("Cubase SX", 8199).hostApp, 8);
  EXPECT_EQ(Identify("Cubase 4", 8200).name, "Cubase4/Nuendo4");
  EXPECT_EQ(Identify("Cubase 4", 8200).hostApp, 9);
}

TEST(HostIdentification, UsineIsRefusedUnlessCubaseMatchesFirst)
{
  const Identified usine = Identify("Usine Hollyhock 5");
  EXPECT_EQ(usine.hostApp, 13);
  EXPECT_EQ(usine.status, 3);
  EXPECT_EQ(usine.name, "Usine");

  const Identified both = Identify("Cubase with Usine inside", 8200);
  EXPECT_EQ(both.hostApp, 9);
  EXPECT_EQ(both.status, 0);
}

TEST(HostIdentification, NamesOfUnassignedAndUnknownCodes)
{
  EXPECT_STREQ(SPluginEditor::HostName(1), "Sonar");
  EXPECT_STREQ(SPluginEditor::HostName(3), "Project 5");
  EXPECT_STREQ(SPluginEditor::HostName(4), "FL Studio");
  EXPECT_STREQ(SPluginEditor::HostName(14), "(unknown)");
  EXPECT_STREQ(SPluginEditor::HostName(-1), "(unknown)");
}

TEST(HostIdentification, ThroughTheHostLayerTheUsineHostGetsNoRecord)
{
  qhost::HostConfig config;
  config.product = "Usine";
  qhost::PluginInstance plugin(testsupport::Library(), config);
  EXPECT_FALSE(plugin.Loaded());
}
