// What the plug-in tells hosts and users about itself: also read by the
// preset files' readers and writers (files/) and quillet-host, so it
// includes nothing. Constants only, any thread.
#pragma once

#include <cstdint>

namespace quillet {

constexpr const char* kProductName = "Quillet";
constexpr const char* kVendorDomain = "quillet.example";
constexpr const char* kSupportAddress = "support@quillet.example";
constexpr int32_t kVendorVersion = 101;
constexpr int32_t kNumPrograms = 128;
constexpr int32_t kNumHostParameters = 2;
// The effect record's unique id ('QLTX'), which preset files carry, and its
// version field.
constexpr int32_t kUniqueId = ('Q' << 24) | ('L' << 16) | ('T' << 8) | 'X';
constexpr int32_t kEffectVersion = 1;

} // namespace quillet
