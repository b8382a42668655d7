// How the editor writes a count: digits in groups of three ("4,267").
#pragma once

#include <cstdint>
#include <cstdio>

// n as "4,267" (negative counts as 0).
inline void WithThousands(int32_t n, char (&text)[16])
{
  char digits[16];
  const int length = std::snprintf(digits, sizeof digits, "%d", n < 0 ? 0 : n);
  int out = 0;
  for (int i = 0; i < length; ++i) {
    if (i > 0 && (length - i) % 3 == 0)
      text[out++] = ',';
    text[out++] = digits[i];
  }
  text[out] = '\0';
}
