// vexo::gui::SIValueRangeHolder<T> and SIControllable<T>: the range mix-ins
// of value controls (the dial): bounds, the middle of the range, a step, a
// normalisation factor, and the operations that keep the default inside the
// bounds.
//
// Threads: like the widget that mixes them in; no lock of their own.
#pragma once

#include "gui/SIValueHolder.h"

namespace vexo::gui {

template <typename T> class SIValueRangeHolder : public SIValueHolder<T>
{
public:
  // The default is always kept inside [valueMin, valueMax].
  void SetValueDef(T v) override { this->valueDef = Clip(v); }

  // Both bounds, the default (clipped) and the middle.
  virtual void SetValueRange(T min, T max, T def)
  {
    valueMin = min;
    valueMax = max;
    SetValueDef(def);
    CalcValueMed();
  }
  // SetValue(v clipped into the range, true); true when the value changed.
  virtual bool SetValueClipped(T v) { return this->SetValue(Clip(v), true); }
  virtual void SetValueMin(T m)
  {
    valueMin = m;
    if (this->valueDef < valueMin)
      this->valueDef = valueMin;
    CalcValueMed();
  }
  virtual void SetValueMax(T m)
  {
    valueMax = m;
    if (this->valueDef > valueMax)
      this->valueDef = valueMax;
    CalcValueMed();
  }
  // Sets the value to the middle directly (no redraw); true when it changed.
  virtual bool SetValueMed()
  {
    const bool changed = this->value != valueMed;
    this->value = valueMed;
    return changed;
  }
  virtual void SetValueStep(T step) { valueStep = step; }
  virtual T GetValueStep() { return valueStep; }
  virtual T GetValueRange() { return valueMax - valueMin; }
  virtual T GetValueMin() { return valueMin; }
  virtual T GetValueMax() { return valueMax; }
  virtual T GetValueMed() { return valueMed; }
  virtual void CalcValueMed() { valueMed = valueMin + ((valueMax - valueMin) >> 1); }
  // The value at a fraction (0 to 1) of the range, rounded to the nearest
  // value and clipped; with set, it also becomes the value (SetValueClipped).
  virtual T ScaleValue(float fraction, bool set)
  {
    const float span = static_cast<float>(valueMax - valueMin);
    const float scaled = static_cast<float>(valueMin) + fraction * span;
    const T v = Clip(static_cast<T>(scaled + (scaled < 0.0f ? -0.5f : 0.5f)));
    if (set)
      SetValueClipped(v);
    return v;
  }

  T valueMin = T();
  T valueMax = T();
  T valueMed = T();
  T valueStep = T(1);

protected:
  T Clip(T v) const { return v < valueMin ? valueMin : (v > valueMax ? valueMax : v); }
};

template <typename T> class SIControllable : public SIValueRangeHolder<T>
{
public:
  // The range, and normFactor = 1 / (max - min) (1 for an empty range).
  void SetValueRange(T min, T max, T def) override
  {
    SIValueRangeHolder<T>::SetValueRange(min, max, def);
    CalcNormFactor();
  }
  // Back to the default.
  virtual void Reset() { this->ResetValue(); }

  float normFactor = 1.0f;

protected:
  void CalcNormFactor()
  {
    normFactor = this->valueMax == this->valueMin
                     ? 1.0f
                     : 1.0f / static_cast<float>(this->valueMax - this->valueMin);
  }
};

} // namespace vexo::gui
