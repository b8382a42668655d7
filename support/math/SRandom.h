// vexo::math::random::generator: a small subtract-with-borrow generator. The
// shared resources own one and draw from it to give windows unique names.
//
// Not synchronised: drawn from on the thread that creates toolkit windows.
#pragma once

#include <cstdint>

namespace vexo::math::random::generator {

class SRandom
{
public:
  virtual ~SRandom() = default;
  virtual uint32_t Integer() = 0;
  virtual float Float() = 0;
  virtual void Seed(unsigned seed)
  {
    lastValue = seed;
    seedValue = seed;
  }

  uint32_t LastValue() const { return lastValue; }
  uint32_t SeedValue() const { return seedValue; }

protected:
  uint32_t lastValue = 0;
  uint32_t seedValue = 0;
};

class SRandomMarsaglia : public SRandom
{
public:
  static constexpr uint32_t kDefaultSeed = 314159265u;

  SRandomMarsaglia()
  {
    SRandomMarsaglia::Seed(kDefaultSeed);
    seedValue = kDefaultSeed;
  }

  void Seed(unsigned s) override
  {
    borrow = 0;
    lastValue = s;
    s1 = s ^ 0x1F123BB5u;
    s2 = s ^ 0x159A55E5u;
    s3 = s ^ 0x00F6A3D9u;
    w = s ^ 0x436CBAE9u;
    borrow = s2 > s3 ? 1u : 0u;
  }

  uint32_t Integer() override
  {
    const uint32_t t = borrow + s1;
    uint32_t d;
    if (s2 > t) {
      d = s2 - t;
      borrow = 0;
    } else {
      d = s2 - t - 18u;
      borrow = 1;
    }
    s1 = s2;
    s2 = s3;
    s3 = d;
    w = 69069u;
    lastValue = d + 1489463708u;
    return lastValue;
  }

  // Roughly -0.5 to 0.5.
  float Float() override
  {
    const int32_t value = static_cast<int32_t>(Integer());
    return static_cast<float>(static_cast<float>(value) * 2.3283064370807974e-10);
  }

  uint32_t S1() const { return s1; }
  uint32_t S2() const { return s2; }
  uint32_t S3() const { return s3; }
  uint32_t Borrow() const { return borrow; }

private:
  uint32_t s1 = 0;
  uint32_t s2 = 0;
  uint32_t s3 = 0;
  uint32_t w = 0;
  uint32_t borrow = 0;
};

} // namespace vexo::math::random::generator
