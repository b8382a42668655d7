// vexo::system::SOperatingSystemData: the kernel's identity as the kernel
// files under /proc tell it, and whether the kernel is recent enough for the
// plug-in (a release above 2.4).
//
// Threads: queried once while the library loads (static initialisation) and
// only read afterwards, from any thread, without a lock.
#pragma once

namespace vexo::system {

class SOperatingSystemData
{
public:
  // Longest description kept, in characters (the buffer adds a terminator).
  static constexpr int kDescriptionLength = 255;
  // Files of this size or more are not taken at all.
  static constexpr int kFileLimit = 4096;

  // Reads <folder>/sys/kernel/ostype, osrelease and version and decides
  // whether the release qualifies. Missing, empty or oversized files add
  // nothing; when the release file cannot be used the verdict stays true.
  // The plug-in reads "/proc"; tests hand in folders of their own.
  void QueryFeatures(const char* folder = "/proc");

  // True when the leading decimal number of a release text ("2.6.18-8.el5"
  // gives 2.6, "5.10.0" gives 5.1) lies above the single-precision 2.4, so
  // that every 2.4.x is refused and 2.5 and later pass.
  static bool ReleaseQualifies(const char* release);

  // The three files' contents, concatenated with their line breaks and cut
  // to kDescriptionLength characters.
  char description[kDescriptionLength + 1] = {};
  bool qualifies = true;
  // Always true after a query.
  bool valid = false;
};

// The leading decimal number of text (digits, optionally a point and more
// digits, after any leading blanks), or 0 when the text starts otherwise.
// Deliberately independent of the C locale: a host that switches to a
// locale with a decimal comma must not make "2.6" read as 2.
double LeadingDecimal(const char* text);

} // namespace vexo::system
