// SIPluginEditor: what the plug-in base needs of its editor beyond the
// host's editor interface (AEffEditor), and the factory that makes it. The
// base holds its editor only through this interface, so that neither the
// base nor the engine depends on the editor's code; the plug-in module
// installs the factory that makes the real editor (module/Entry.cpp).
//
// Threads: the factory is installed during static initialisation and read
// when a plug-in is constructed, on a host thread. HostIdle runs on the
// host's GUI thread (effEditIdle); HostDisplayName on any host thread.
#pragma once

#include "plugin/AEffEditor.h"

class SGlobals;
class SPlugin;

class SIPluginEditor : public AEffEditor
{
public:
  using AEffEditor::AEffEditor;

  // The host's idle call: delivers what the editor asked of the host since
  // the last one (a new size, automation).
  virtual void HostIdle() = 0;
  // The display name of the host the editor recognised; "(unknown)" when
  // it recognised none.
  virtual const char* HostDisplayName() const = 0;
};

// Makes the editor of plugin on the shared resources globals; status is the
// load status (the editor's host identification may refuse the load). Null
// makes a plug-in without an editor.
using SPluginEditorFactory = SIPluginEditor* (*)(SPlugin* plugin, SGlobals* globals, int& status);
