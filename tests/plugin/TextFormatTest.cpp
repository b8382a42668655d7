#include "plugin/AudioEffectX.h"
#include "tests/testsupport/DirectHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// The smallest complete plug-in: the base classes with their own behaviour.
class BareEffect : public AudioEffectX
{
public:
  BareEffect() : AudioEffectX(testsupport::DirectHost::Callback, 1, 1) {}
  void process(float**, float**, int32_t) override {}

  std::string Float(float value)
  {
    char text[64] = {};
    float2string(value, text);
    return text;
  }
};

} // namespace

TEST(TextFormat, FloatUsesEightDigitPositions)
{
  BareEffect effect;
  EXPECT_EQ(effect.Float(0.0f), "0.000000");
  EXPECT_EQ(effect.Float(1.5f), "1.500000");
  EXPECT_EQ(effect.Float(12345.5f), "12345.50");
  EXPECT_EQ(effect.Float(-12.25f), "-12.2500");
  EXPECT_EQ(effect.Float(1234567.0f), "1234567.");
  EXPECT_EQ(effect.Float(100000000.0f), "Huge!");
  EXPECT_EQ(effect.Float(-10000000.0f), "Huge!");
  EXPECT_EQ(effect.Float(std::nanf("")), "Huge!") << "no digits for NaN either";
  EXPECT_EQ(effect.Float(-INFINITY), "Huge!");
}

TEST(TextFormat, LongDecibelsAndTimes)
{
  BareEffect effect;
  char text[64];
  effect.long2string(123, text);
  EXPECT_STREQ(text, "    123");
  effect.long2string(100000000, text);
  EXPECT_STREQ(text, "Huge!");
  effect.long2string(-1234567, text);
  EXPECT_STREQ(text, "-1234567");
  effect.dB2string(0.0f, text);
  EXPECT_STREQ(text, "-oo");
  effect.dB2string(1.0f, text);
  EXPECT_STREQ(text, "0.000000");
  effect.dB2string(10.0f, text);
  EXPECT_STREQ(text, "20.00000");
  effect.Hz2string(0.0f, text);
  EXPECT_STREQ(text, "0.000000");
  effect.Hz2string(441.0f, text);
  EXPECT_STREQ(text, "100.0000");
  effect.ms2string(44100.0f, text);
  EXPECT_STREQ(text, "1000.000");
  effect.setSampleRate(0.0f); // a host that reports no rate
  effect.ms2string(44100.0f, text);
  EXPECT_STREQ(text, "Huge!");
  effect.Hz2string(std::nanf(""), text);
  EXPECT_STREQ(text, "Huge!");
}

TEST(BaseBehaviour, DefaultsOfTheExtendedBase)
{
  testsupport::DirectHost::Reset();
  BareEffect effect;
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(e->uniqueID, 0x4E6F4566) << "'NoEf' until a plug-in sets its own";
  EXPECT_EQ(e->numInputs, 1);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(effect.getPlugCategory(), 0);
  effect.isSynth(true);
  EXPECT_EQ(effect.getPlugCategory(), 2);
  EXPECT_TRUE(effect.canParameterBeAutomated(0));
  EXPECT_EQ(effect.getVstVersion(), 2300);
  EXPECT_EQ(effect.getMasterVersion(), 2400);
  testsupport::DirectHost::version = 0;
  EXPECT_EQ(effect.getMasterVersion(), 1) << "a host answering 0 counts as version 1";
  EXPECT_TRUE(effect.isInputConnected(0)) << "0 from the host means connected";
  effect.setBlockSizeAndSampleRate(128, 96000.0f);
  EXPECT_EQ(effect.getBlockSize(), 128);
  EXPECT_EQ(effect.getSampleRate(), 96000.0f);
  effect.noTail(true);
  effect.wantAsyncOperation(true);
  effect.hasExternalBuffer(true);
  EXPECT_EQ(e->flags & 0xE00, 0xE00);
  effect.noTail(false);
  EXPECT_EQ(e->flags & 0x200, 0);
}

TEST(BaseBehaviour, SpeakerArrangementsAllocateCopyAndMatch)
{
  BareEffect effect;
  VstSpeakerArrangement* source = nullptr;
  ASSERT_TRUE(effect.allocateArrangement(&source, 10));
  EXPECT_EQ(source->numChannels, 10);
  source->type = 7;
  VstSpeakerProperties* speakers = source->speakers;
  std::strcpy(speakers[9].name, "last");
  speakers[9].azimuth = 0.5f;

  VstSpeakerArrangement* target = nullptr;
  ASSERT_TRUE(effect.matchArrangement(&target, source));
  EXPECT_EQ(target->type, 7);
  EXPECT_EQ(target->numChannels, 10);
  VstSpeakerProperties* copied = target->speakers;
  EXPECT_STREQ(copied[9].name, "last");
  EXPECT_EQ(copied[9].azimuth, 0.5f);
  EXPECT_FALSE(effect.copySpeaker(nullptr, speakers));

  EXPECT_TRUE(effect.deallocateArrangement(&source));
  EXPECT_EQ(source, nullptr);
  EXPECT_TRUE(effect.deallocateArrangement(&target));
}
