// A minimal host callback for tests that build the plug-in's classes
// directly (in this process, without the host layer).
#pragma once

#include "plugin/VstInterface.h"

#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

struct DirectHost
{
  // What the callback answers; shared by all directly built plug-ins.
  static inline std::string product = "direct test host";
  static inline VstIntPtr vendorVersion = 1;
  static inline VstIntPtr version = 2400;
  static inline std::vector<int32_t> opcodes;

  static void Reset()
  {
    product = "direct test host";
    vendorVersion = 1;
    version = 2400;
    opcodes.clear();
  }

  static VstIntPtr Callback(AEffect*, int32_t opcode, int32_t, VstIntPtr, void* ptr, float)
  {
    opcodes.push_back(opcode);
    switch (opcode) {
    case audioMasterVersion:
      return version;
    case audioMasterGetProductString:
      if (ptr)
        std::strncpy(static_cast<char*>(ptr), product.c_str(), 63);
      return 1;
    case audioMasterGetVendorVersion:
      return vendorVersion;
    default:
      return 0;
    }
  }
};

} // namespace testsupport
