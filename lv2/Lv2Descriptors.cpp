// The only two symbols the LV2 binary exports: the plug-in's descriptor and
// its editor's. Each entry of the descriptors is a thin forward to the
// adapter (Lv2Adapter) or the editor (Lv2Ui).
#include "lv2/Lv2Adapter.h"
#include "lv2/Lv2Ui.h"
#include "lv2/Lv2Uris.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/worker/worker.h>

#include <cstring>

namespace {

Lv2Adapter* AdapterOf(LV2_Handle instance)
{
  return static_cast<Lv2Adapter*>(instance);
}

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char* bundle,
                       const LV2_Feature* const* features)
{
  return Lv2Adapter::Create(rate, bundle, features);
}

void ConnectPort(LV2_Handle instance, uint32_t port, void* data)
{
  AdapterOf(instance)->ConnectPort(port, data);
}

void Activate(LV2_Handle instance)
{
  AdapterOf(instance)->Activate();
}

void Run(LV2_Handle instance, uint32_t frames)
{
  AdapterOf(instance)->Run(frames);
}

void Deactivate(LV2_Handle instance)
{
  AdapterOf(instance)->Deactivate();
}

void Cleanup(LV2_Handle instance)
{
  delete AdapterOf(instance);
}

LV2_State_Status Save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      uint32_t /*flags*/, const LV2_Feature* const* /*features*/)
{
  return AdapterOf(instance)->Save(store, handle);
}

LV2_State_Status Restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle handle, uint32_t /*flags*/,
                         const LV2_Feature* const* /*features*/)
{
  return AdapterOf(instance)->Restore(retrieve, handle);
}

LV2_Worker_Status Work(LV2_Handle instance, LV2_Worker_Respond_Function respond,
                       LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
{
  return AdapterOf(instance)->Work(respond, handle, size, data);
}

LV2_Worker_Status WorkResponse(LV2_Handle instance, uint32_t size, const void* data)
{
  // A file taken (a selection answers nothing: it is complete when the
  // work returns).
  return AdapterOf(instance)->WorkResponse(size, data);
}

const lv2programs::ProgramDescriptor* GetProgram(LV2_Handle instance, uint32_t index)
{
  return AdapterOf(instance)->Program(index);
}

void SelectProgram(LV2_Handle instance, uint32_t bank, uint32_t program)
{
  AdapterOf(instance)->SelectProgram(bank, program);
}

const LV2_State_Interface kState = {Save, Restore};
const lv2programs::ProgramsInterface kPrograms = {GetProgram, SelectProgram};
const LV2_Worker_Interface kWorker = {Work, WorkResponse, nullptr};

const void* ExtensionData(const char* uri)
{
  if (std::strcmp(uri, LV2_STATE__interface) == 0)
    return &kState;
  if (std::strcmp(uri, LV2_WORKER__interface) == 0)
    return &kWorker;
  if (std::strcmp(uri, lv2programs::kInterfaceUri) == 0)
    return &kPrograms;
  return nullptr;
}

const LV2_Descriptor kPlugin = {lv2names::kPluginUri, Instantiate, ConnectPort,  Activate, Run,
                                Deactivate,           Cleanup,     ExtensionData};

// ----------------------------------------------------------------- editor

LV2UI_Handle UiInstantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                           LV2UI_Write_Function write, LV2UI_Controller controller,
                           LV2UI_Widget* widget, const LV2_Feature* const* features)
{
  if (!pluginUri || std::strcmp(pluginUri, lv2names::kPluginUri) != 0)
    return nullptr;
  return Lv2Ui::Create(write, controller, widget, features);
}

void UiCleanup(LV2UI_Handle ui)
{
  delete static_cast<Lv2Ui*>(ui);
}

void UiPortEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*)
{
  // The panel shows the plug-in itself; the ports only follow it.
}

int UiIdle(LV2UI_Handle ui)
{
  return static_cast<Lv2Ui*>(ui)->Idle();
}

const LV2UI_Idle_Interface kIdle = {UiIdle};

const void* UiExtensionData(const char* uri)
{
  if (std::strcmp(uri, LV2_UI__idleInterface) == 0)
    return &kIdle;
  return nullptr;
}

const LV2UI_Descriptor kUi = {lv2names::kUiUri, UiInstantiate, UiCleanup, UiPortEvent,
                              UiExtensionData};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? &kPlugin : nullptr;
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? &kUi : nullptr;
}
