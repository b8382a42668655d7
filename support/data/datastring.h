// vexo::data::datastring<N, char>: the toolkit's text type. A heap buffer that
// always holds a terminated text and grows in whole steps of N bytes, so that
// short labels fit in their first allocation.
//
// Not synchronised: a string belongs to one thread at a time.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vexo::data {

template <int N, typename C>
class datastring;

template <int N>
class datastring<N, char>
{
  static_assert(N > 0, "the growth step must be positive");

public:
  datastring() { Allocate(N); }

  // A formatted text of at most size - 2 characters in a buffer of 32 bytes,
  // or the smallest multiple of 32 that holds size bytes.
  datastring(unsigned size, const char* format, ...) __attribute__((format(printf, 3, 4)))
  {
    Allocate(RoundUp(size, 32));
    va_list args;
    va_start(args, format);
    AppendFormatted(size, format, args);
    va_end(args);
  }

  // Convenience: a copy of a plain text.
  explicit datastring(const char* text)
  {
    Allocate(N);
    Append(text);
  }

  datastring(const datastring& other)
  {
    Allocate(RoundUp(static_cast<unsigned>(other.length), N));
    Append(other.text);
  }

  datastring& operator=(const datastring& other)
  {
    if (this != &other) {
      datastring copy(other);
      Swap(copy);
    }
    return *this;
  }

  datastring(datastring&& other) noexcept
      : text(other.text), capacity(other.capacity), length(other.length), step(other.step)
  {
    other.text = nullptr;
    other.capacity = 0;
    other.length = 0;
  }

  datastring& operator=(datastring&& other) noexcept
  {
    Swap(other);
    return *this;
  }

  ~datastring() { std::free(text); }

  // A null text changes nothing.
  void Append(const char* more)
  {
    if (more)
      AppendChars(more, std::strlen(more));
  }

  // The terminator character appends nothing.
  void Append(char c)
  {
    if (c != '\0')
      AppendChars(&c, 1);
  }

  // Appends at most size - 2 characters of the formatted text.
  void Append(unsigned size, const char* format, ...) __attribute__((format(printf, 3, 4)))
  {
    va_list args;
    va_start(args, format);
    AppendFormatted(size, format, args);
    va_end(args);
  }

  // Empties the text; with shrink set a grown buffer goes back to N bytes.
  void Clear(bool shrink)
  {
    if (shrink && capacity > N) {
      std::free(text);
      Allocate(N);
      return;
    }
    text[0] = '\0';
    length = 1;
  }

  // Discards the text and makes room for size bytes (in whole steps).
  void Initialize(unsigned size)
  {
    std::free(text);
    Allocate(RoundUp(size, N));
  }

  // Splits a copy of the text at any of the delimiters, as strtok does, and
  // appends each token to out. Returns the number of tokens appended.
  int Tokenize(std::vector<datastring<32, char>>& out, const char* delimiters) const
  {
    std::vector<char> copy(text, text + length);
    int count = 0;
    char* save = nullptr;
    for (char* token = strtok_r(copy.data(), delimiters, &save); token;
         token = strtok_r(nullptr, delimiters, &save)) {
      out.emplace_back(token);
      ++count;
    }
    return count;
  }

  const char* Text() const { return text; }
  // Characters plus one for the terminator: 1 for an empty text.
  int32_t Length() const { return length; }
  int32_t Capacity() const { return capacity; }
  int32_t Step() const { return step; }
  bool Empty() const { return length <= 1; }

private:
  static unsigned RoundUp(unsigned size, unsigned unit)
  {
    if (size <= unit)
      return unit;
    return (size + unit - 1) / unit * unit;
  }

  void Allocate(unsigned bytes)
  {
    text = static_cast<char*>(std::calloc(bytes, 1));
    if (!text)
      std::abort();
    capacity = static_cast<int32_t>(bytes);
    length = 1;
  }

  void AppendChars(const char* chars, size_t count)
  {
    const size_t needed = static_cast<size_t>(length) + count;
    if (needed > static_cast<size_t>(capacity)) {
      const unsigned bytes = RoundUp(static_cast<unsigned>(needed), N);
      char* grown = static_cast<char*>(std::malloc(bytes));
      if (!grown)
        std::abort();
      std::memcpy(grown, text, static_cast<size_t>(length));
      std::free(text);
      text = grown;
      capacity = static_cast<int32_t>(bytes);
    }
    std::memmove(text + length - 1, chars, count);
    length += static_cast<int32_t>(count);
    text[length - 1] = '\0';
  }

  void AppendFormatted(unsigned size, const char* format, va_list args)
  {
    if (size < 2)
      return;
    // Formatting goes through the stack; only unusually large limits take
    // the heap.
    char local[512];
    std::vector<char> large;
    char* buffer = local;
    if (size - 1 > sizeof local) {
      large.resize(size - 1);
      buffer = large.data();
    }
    const int written = std::vsnprintf(buffer, size - 1, format, args);
    if (written <= 0)
      return;
    AppendChars(buffer, std::strlen(buffer));
  }

  void Swap(datastring& other) noexcept
  {
    std::swap(text, other.text);
    std::swap(capacity, other.capacity);
    std::swap(length, other.length);
    std::swap(step, other.step);
  }

  char* text = nullptr;
  int32_t capacity = 0;
  int32_t length = 0;
  int32_t step = N;
};

} // namespace vexo::data
