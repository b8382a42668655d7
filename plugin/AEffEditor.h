// AEffEditor: the base of a plug-in's editor, the object the host opens in a
// window of its own. The base stores the parent window and a pending-update
// flag; the plug-in's editor overrides what it needs.
//
// Threads: open/close/getRect run on the host's dispatcher thread; postUpdate
// may be called from any thread (it only sets a flag).
#pragma once

#include "plugin/VstInterface.h"

#include <atomic>
#include <cstdint>

class AudioEffect;

class AEffEditor
{
public:
  explicit AEffEditor(AudioEffect* effect_) : effect(effect_) {}
  virtual ~AEffEditor() = default;

  virtual int32_t getRect(ERect** rect)
  {
    if (rect)
      *rect = nullptr;
    return 0;
  }
  virtual int32_t open(void* parent)
  {
    systemWindow = parent;
    return 0;
  }
  virtual void close() {}
  virtual void idle() {}
  virtual void update() {}
  virtual void postUpdate() { updateFlag = 1; }
  virtual void updateIndexed() {}
  virtual void postUpdateIndexed(int32_t /*index*/) {}
  virtual void updateAtIndex(int32_t /*index*/) {}
  virtual int32_t onKeyDown(VstKeyCode& /*key*/) { return -1; }
  virtual int32_t onKeyUp(VstKeyCode& /*key*/) { return -1; }
  virtual int32_t setKnobMode(int /*mode*/) { return 0; }
  virtual bool onWheel(float /*distance*/) { return false; }

  AudioEffect* getEffect() const { return effect; }
  void* getSystemWindow() const { return systemWindow; }

protected:
  void* systemWindow = nullptr;
  AudioEffect* effect;
  // Set by any thread, cleared by the refresh on the idle thread.
  std::atomic<int32_t> updateFlag{0};
};
