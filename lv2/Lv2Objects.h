// The properties of an atom object (a transport position, a patch message)
// walked within the object's own size, for the adapter's run(): a property
// or a value that claims more than is left ends the walk, so a broken
// object from a host is never read past its end. Any thread; noexcept, no
// allocation.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>

#include <cstddef>
#include <cstdint>

namespace lv2objects {

// Calls visit(key, value) for every whole property of `object`, an atom of
// an object type whose size is at least that of LV2_Atom_Object_Body.
template <typename Visit> void ForEachProperty(const LV2_Atom* object, Visit&& visit) noexcept
{
  const auto* start = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(object));
  const uint8_t* cursor = start + sizeof(LV2_Atom_Object_Body);
  const uint8_t* const end = start + object->size;
  while (end - cursor >= static_cast<ptrdiff_t>(sizeof(LV2_Atom_Property_Body))) {
    const auto* property = reinterpret_cast<const LV2_Atom_Property_Body*>(cursor);
    const uint64_t left = static_cast<uint64_t>(end - cursor) - sizeof(LV2_Atom_Property_Body);
    if (property->value.size > left)
      break;
    visit(property->key, &property->value);
    const uint64_t step = sizeof(LV2_Atom_Property_Body) + lv2_atom_pad_size(property->value.size);
    if (step >= static_cast<uint64_t>(end - cursor))
      break;
    cursor += step;
  }
}

} // namespace lv2objects
