#include "host/CommandLine.h"

#include <cstdio>
#include <cstdlib>

namespace qhost::cli {

int Fail(const std::string& message)
{
  std::fprintf(stderr, "quillet-host: %s\n", message.c_str());
  return 2;
}

bool Arguments::Next(std::string& option)
{
  if (next >= words.size())
    return false;
  option = current = words[next++];
  return true;
}

bool Arguments::Value(std::string& value)
{
  if (next >= words.size()) {
    Fail(current + " needs a value");
    return false;
  }
  value = words[next++];
  return true;
}

bool ParseInt(const std::string& text, long& value)
{
  if (text.empty())
    return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return *end == '\0';
}

bool ParseDouble(const std::string& text, double& value)
{
  if (text.empty())
    return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

bool ParseAt(const std::string& text, long& number, double& seconds)
{
  const size_t at = text.find('@');
  return at != std::string::npos && ParseInt(text.substr(0, at), number) &&
         ParseDouble(text.substr(at + 1), seconds) && seconds >= 0.0;
}

bool ParseCommon(int argc, char** argv, CommonOptions& options, std::vector<std::string>& rest)
{
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        Fail(arg + " needs a value");
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string text;
    long number = 0;
    if (arg == "--host-product") {
      if (!value(options.config.product))
        return false;
    } else if (arg == "--host-version" || arg == "--host-vendor-version") {
      if (!value(text))
        return false;
      if (!ParseInt(text, number)) {
        Fail(arg + " wants a number, not \"" + text + "\"");
        return false;
      }
      (arg == "--host-version" ? options.config.version : options.config.vendorVersion) = number;
    } else if (!arg.empty() && arg[0] != '-' && options.path.empty()) {
      options.path = arg;
    } else {
      rest.push_back(arg);
    }
  }
  if (options.path.empty()) {
    Fail("no plug-in given");
    return false;
  }
  return true;
}

} // namespace qhost::cli
