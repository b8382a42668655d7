// What the plug-in tells hosts and users about itself.
#pragma once

#include <cstdint>

namespace quillet {

constexpr const char* kProductName = "Quillet";
constexpr const char* kVendorDomain = "quillet.example";
constexpr const char* kSupportAddress = "support@quillet.example";
constexpr int32_t kVendorVersion = 101;
constexpr int32_t kNumPrograms = 128;
constexpr int32_t kNumHostParameters = 2;

} // namespace quillet
