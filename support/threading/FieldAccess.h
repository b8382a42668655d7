// Relaxed single-store access to plain fields shared between threads (the
// program records, the current program number).
//
// The records are plain bytes (they are the chunk format) but they are read
// and written from several threads: the host's automation, the editor, the
// countdown and the audio thread. Each field is one byte or one aligned
// 32-bit word and is written in one store, so a reader sees either the old or
// the new value. These helpers make that explicit to the compiler and to the
// thread sanitizer.
#pragma once

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

} // namespace field
