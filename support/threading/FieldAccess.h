// Relaxed single-store access to plain fields shared between threads (the
// program records, the current program number).
//
// The records are plain bytes (they are the chunk format) but they are read
// and written from several threads: the host's automation, the editor, the
// countdown and the audio thread. Each field is one byte or one aligned
// 32-bit word and is written in one store, so a reader sees either the old or
// the new value. These helpers make that explicit to the compiler and to the
// thread sanitizer; every access to a shared record goes through them, bulk
// copies included (CopyBytes), so that no access is left that a sanitizer
// could call a race.
//
// The program record's definition (model/VSTPluginProgram.h) builds on this
// header, and quillet-host includes that definition as the chunk format's: so
// this header includes nothing of ours and nothing but the standard library.
#pragma once

#include <cstddef>

namespace field {

template <typename T>
inline T Load(const T& value) noexcept
{
  return __atomic_load_n(&value, __ATOMIC_RELAXED);
}

template <typename T, typename U>
inline void Store(T& target, U value) noexcept
{
  __atomic_store_n(&target, static_cast<T>(value), __ATOMIC_RELAXED);
}

// Copies `count` bytes one relaxed byte at a time, for the byte arrays of a
// record (names, strips). Either side may be shared; a private buffer on one
// side costs nothing extra.
inline void CopyBytes(void* to, const void* from, size_t count) noexcept
{
  auto* target = static_cast<unsigned char*>(to);
  const auto* source = static_cast<const unsigned char*>(from);
  for (size_t i = 0; i < count; ++i)
    Store(target[i], Load(source[i]));
}

} // namespace field
