#include "support/math/SRandom.h"

#include <gtest/gtest.h>

using vexo::math::random::generator::SRandomMarsaglia;

TEST(RandomMarsaglia, SeedZeroGivesTheKnownFirstNumber)
{
  SRandomMarsaglia generator;
  generator.Seed(0);
  EXPECT_EQ(generator.S1(), 0x1F123BB5u);
  EXPECT_EQ(generator.S2(), 0x159A55E5u);
  EXPECT_EQ(generator.S3(), 0x00F6A3D9u);
  EXPECT_EQ(generator.Borrow(), 1u);
  EXPECT_EQ(generator.Integer(), 0x4F4F83B9u);
  EXPECT_EQ(generator.LastValue(), 1330611129u);
  // The words shift down by one and the difference becomes the newest.
  EXPECT_EQ(generator.S1(), 0x159A55E5u);
  EXPECT_EQ(generator.S2(), 0x00F6A3D9u);
  EXPECT_EQ(generator.S3(), 0xF6881A1Du);
  EXPECT_EQ(generator.Borrow(), 1u);
}

TEST(RandomMarsaglia, DefaultConstructionUsesTheFixedSeed)
{
  SRandomMarsaglia a;
  SRandomMarsaglia b;
  b.Seed(314159265u);
  EXPECT_EQ(a.SeedValue(), 314159265u);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(a.Integer(), b.Integer());
}

TEST(RandomMarsaglia, FloatStaysWithinHalfAroundZero)
{
  SRandomMarsaglia generator;
  generator.Seed(12345);
  for (int i = 0; i < 10000; ++i) {
    const float value = generator.Float();
    EXPECT_GE(value, -0.5f);
    EXPECT_LE(value, 0.5f);
  }
}
