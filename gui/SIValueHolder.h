// vexo::gui::SIValueHolder<T>: a value with a default, the root of the value
// mix-ins of buttons and dials. Subclasses override SetValue to redraw and
// to tell their listeners.
//
// Threads: like the widget that mixes it in; no lock of its own.
#pragma once

namespace vexo::gui {

template <typename T> class SIValueHolder
{
public:
  virtual ~SIValueHolder() = default;

  // Stores v; true when it differs from the value held before. No event and
  // no redraw here.
  virtual bool SetValue(T v, bool /*notify*/)
  {
    if (v == value)
      return false;
    value = v;
    return true;
  }
  virtual T GetValue() { return value; }
  virtual T GetValueDef() { return valueDef; }
  // Back to the default through the (virtual) SetValue, with notify set;
  // true when the value changed.
  virtual bool ResetValue() { return SetValue(valueDef, true); }
  virtual void SetValueDef(T v) { valueDef = v; }

  T value = T();
  T valueDef = T();
};

} // namespace vexo::gui
