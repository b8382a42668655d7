// VSTPlugin's parameters: setParameter and getParameter (the host's
// automation, the editor's controls and the countdown's and learning's
// notices all come through them), the extended parameters and the names the
// host shows.
//
// Threads: any. The host's automation thread, the dispatcher, the host's
// GUI thread (the editor) and the countdown and learning threads call these
// at any moment. That is safe because every field read or written here is
// one byte or word through field::Load/field::Store, or an atomic; a write
// that spans several fields of a strip (a message kept in the extension)
// holds the strip lock, which learning takes for the same fields; a switch
// that stops a countdown goes through startTimer, which takes the timer
// lock. The audio thread reaches optionOn and getParameter through a
// selection it makes (setProgramLocked), plain loads, and setParameter for
// the resend and thru: the LV2 edition's ports move them from run(), and a
// VST 2 host may play its automation on its audio thread. Those two write
// one field (the current program's midiThru) and atomics, and take no lock;
// a save reads midiThru once, into a snapshot (getChunk).
#include "engine/VSTPlugin.h"

#include "model/Parameters.h"
#include "model/StripMessages.h"
#include "support/threading/FieldAccess.h"

#include <cstring>
#include <mutex>

namespace {

using param::SwitchOn;

} // namespace

// ------------------------------------------------------------- parameters

bool VSTPlugin::optionOn(int32_t index)
{
  return getParameter(index) >= param::kOptionOn;
}

void VSTPlugin::applySwitch(uint8_t VSTPluginProgram::*option, int32_t index, float value)
{
  const uint8_t on = SwitchOn(value) ? 1 : 0;
  // The global options compare with program 0's copy.
  if ((field::Load(bank[0].*option) != 0) == (on != 0))
    return;
  for (int i = 0; i < kBankPrograms; ++i)
    field::Store(bank[i].*option, on);
  if (!on) {
    // Turning an option off stops the countdown that leads to its send.
    if (index == param::kSendOnInit && countdown.Mode() == 0)
      startTimer(false);
    else if (index == param::kSendOnChange && countdown.Mode() == 1)
      startTimer(false);
    // And what remains of a paced send it started.
    if (index == param::kSendOnInit)
      sender.Cancel(SendCause::Init);
    else if (index == param::kSendOnChange)
      sender.Cancel(SendCause::Change);
  }
  notifyEditor(index);
}

void VSTPlugin::applyDelay(int32_t VSTPluginProgram::*delay, int32_t index, float value)
{
  const int32_t seconds = param::Encode(value, param::kDelay.scale);
  for (int i = 0; i < kBankPrograms; ++i)
    field::Store(bank[i].*delay, seconds);
  notifyEditor(index);
}

void VSTPlugin::setParameter(int32_t index, float value)
{
  if (!(value >= 0.0f && value <= 1.0f))
    return;
  VSTPluginProgram& current = bank[getProgram()];

  if (param::IsStripIndex(index)) {
    const int32_t group = param::GroupOf(index);
    const int32_t strip = param::StripOf(index);
    // Byte fields keep the low 8 bits.
    const auto byte = static_cast<uint8_t>(
        param::Encode(value, param::kStripFields[group].encoding.scale) & 0xFF);
    ProgramExtension& extension = bank.Extension(getProgram());
    // A message whose format, channel or number is set by hand is no longer
    // a learned one; a new value keeps it learned.
    if (group / 2 != strips::kValueField)
      learner.Forget(getProgram(), strip, group % 2);
    if (strips::InExtension(extension, strip, group % 2)) {
      // The channel of a message kept in the extension lives there, and a
      // format makes it a Control Change or Note again: several fields,
      // under the strip lock that learning takes too.
      std::lock_guard<std::recursive_mutex> hold(stripLock);
      strips::StoreField(current, extension, strip, group % 2, group / 2, byte);
    } else {
      field::Store(current.strips[strip].*param::kStripFields[group].field, byte);
    }
    notifyEditor(index);
    return;
  }
  if (param::IsExtendedIndex(index)) {
    setExtendedParameter(index, value);
    return;
  }
  if (param::IsSendSettingIndex(index)) {
    // The results store nothing: setting them only wakes the editor.
    if (index == param::kVerifyNotice || index == param::kVerifyCount ||
        StoreSendSetting(bank.Settings(), index, value))
      notifyEditor(index);
    return;
  }
  if (param::IsWideIndex(index)) {
    const int32_t program = getProgram();
    const int32_t strip = param::WideStripOf(index);
    const int32_t message = param::WideMessageOf(index);
    const int32_t which = param::WideFieldOf(index);
    if (which != strips::kWideValue)
      learner.Forget(program, strip, message);
    {
      std::lock_guard<std::recursive_mutex> hold(stripLock);
      strips::StoreWide(
          bank.Extension(program), strip, message, which,
          static_cast<uint16_t>(param::Encode(value, param::EncodingOf(index).scale)));
    }
    notifyEditor(index);
    return;
  }

  switch (index) {
  case param::kResend: {
    // Only the rise sends; the fall only stores the state.
    const bool on = SwitchOn(value);
    if (resendState.exchange(on) != on && on)
      sendCCData();
    return;
  }
  case param::kThru: {
    const uint8_t on = SwitchOn(value) ? 1 : 0;
    if ((field::Load(current.midiThru) != 0) == (on != 0))
      return;
    field::Store(current.midiThru, on);
    if (!on)
      releaseRequested = true;
    notifyEditor(index);
    return;
  }
  case param::kSendOnInit:
    applySwitch(&VSTPluginProgram::sendOnInit, index, value);
    return;
  case param::kInitDelay:
    applyDelay(&VSTPluginProgram::initDelay, index, value);
    return;
  case param::kSendOnChange:
    applySwitch(&VSTPluginProgram::sendOnChange, index, value);
    return;
  case param::kChangeDelay:
    applyDelay(&VSTPluginProgram::changeDelay, index, value);
    return;
  case param::kPresetSwitching:
    applySwitch(&VSTPluginProgram::presetSwitching, index, value);
    return;
  case param::kLayoutNotice:
  case param::kLayoutNoticeAlso:
  case param::kSpareNotice:
  case param::kCountdownState:
  case param::kCountdownTick:
  case param::kCountdownEnd:
  case param::kSysExNotice:
    notifyEditor(index);
    return;
  default: // 2, negative and 142 and above
    return;
  }
}

float VSTPlugin::getParameter(int32_t index)
{
  const VSTPluginProgram& current = bank[getProgram()];
  auto flag = [](uint8_t byte) { return byte ? 1.0f : 0.0f; };

  if (param::IsStripIndex(index)) {
    const int32_t group = param::GroupOf(index);
    const uint8_t byte = strips::LoadField(current, bank.Extension(getProgram()),
                                           param::StripOf(index), group % 2, group / 2);
    return param::Decode(byte, param::kStripFields[group].encoding);
  }
  if (param::IsExtendedIndex(index))
    return getExtendedParameter(index);
  if (param::IsSendSettingIndex(index)) {
    if (index == param::kVerifyNotice)
      return static_cast<float>(static_cast<uint32_t>(LastVerify().code)) / 3.0f;
    if (index == param::kVerifyCount)
      return static_cast<float>(sender.VerifyCount());
    return SendSettingParameter(bank.Settings(), index);
  }
  if (param::IsWideIndex(index))
    return param::Decode(strips::LoadWide(bank.Extension(getProgram()), param::WideStripOf(index),
                                          param::WideMessageOf(index), param::WideFieldOf(index)),
                         param::EncodingOf(index));

  switch (index) {
  case param::kResend:
    return resendState ? 1.0f : 0.0f;
  case param::kThru:
    return flag(field::Load(current.midiThru));
  case param::kSendOnInit:
    return flag(field::Load(current.sendOnInit));
  case param::kInitDelay:
    // A delay from a chunk is used within 0 to 999 seconds; the record keeps
    // what was loaded.
    return param::Decode(param::DelaySeconds(field::Load(current.initDelay)), param::kDelay);
  case param::kSendOnChange:
    return flag(field::Load(current.sendOnChange));
  case param::kChangeDelay:
    return param::Decode(param::DelaySeconds(field::Load(current.changeDelay)), param::kDelay);
  case param::kPresetSwitching:
    return flag(field::Load(current.presetSwitching));
  default:
    return 0.0f;
  }
}

void VSTPlugin::setExtendedParameter(int32_t index, float value)
{
  ExtensionSettings& settings = bank.Settings();
  if (param::IsKindIndex(index)) {
    const int32_t program = getProgram();
    learner.Forget(program, param::KindStripOf(index), param::KindMessageOf(index));
    {
      std::lock_guard<std::recursive_mutex> hold(stripLock);
      strips::SetKind(bank[program], bank.Extension(program), param::KindStripOf(index),
                      param::KindMessageOf(index), strips::KindFromParameter(value));
    }
    notifyEditor(index);
    return;
  }
  switch (index) {
  case param::kSpacing:
    field::Store(settings.spacingMs, param::Encode(value, param::kSpacingMs.scale));
    break;
  case param::kSettle:
    field::Store(settings.settleMs, param::Encode(value, param::kSettleMs.scale));
    break;
  case param::kLearn:
    if (!learner.SetOn(SwitchOn(value)))
      return;
    // Asks the device for what learning is to hear.
    if (SwitchOn(value))
      SendDumpRequest();
    break;
  case param::kSysExGap:
    SetSysExGap(param::Encode(value, param::kSysExGapMs.scale));
    break;
  case param::kSendOnPlay: {
    const uint8_t on = SwitchOn(value) ? 1 : 0;
    if (field::Load(settings.sendOnPlay) == on)
      return;
    field::Store(settings.sendOnPlay, on);
    if (!on)
      sender.Cancel(SendCause::Play);
    break;
  }
  case param::kLearnNotice:
  case param::kPacedNotice:
    break; // notices: nothing stored
  default:
    return;
  }
  notifyEditor(index);
}

float VSTPlugin::getExtendedParameter(int32_t index)
{
  const ExtensionSettings& settings = bank.Settings();
  const int32_t program = getProgram();
  if (param::IsKindIndex(index))
    return strips::KindParameter(field::Load(strips::KindByte(
        bank.Extension(program), param::KindStripOf(index), param::KindMessageOf(index))));
  switch (index) {
  case param::kSpacing:
    return param::Decode(ClampMs(field::Load(settings.spacingMs), kMaxSpacingMs),
                         param::kSpacingMs);
  case param::kSettle:
    return param::Decode(ClampMs(field::Load(settings.settleMs), kMaxSettleMs), param::kSettleMs);
  case param::kLearn:
    return learner.On() ? 1.0f : 0.0f;
  case param::kSendOnPlay:
    return field::Load(settings.sendOnPlay) ? 1.0f : 0.0f;
  case param::kLearnNotice:
    // Full as long as nothing made room since a message was refused, or
    // since a SysEx message was.
    return (learner.Full() && !strips::LearnRoom(bank[program], bank.Extension(program))) ||
                   learner.SysExFull()
               ? 1.0f
               : 0.0f;
  case param::kSysExGap:
    return param::Decode(SysExGap(), param::kSysExGapMs);
  case param::kPacedNotice:
    return sender.Active() ? 1.0f : 0.0f;
  default:
    return 0.0f;
  }
}

void VSTPlugin::getParameterName(int32_t index, char* text)
{
  if (index == param::kResend)
    std::strcpy(text, "AC: Resend");
  else if (index == param::kThru)
    std::strcpy(text, "OP: Thru");
  else
    text[0] = '\0';
}

void VSTPlugin::getParameterDisplay(int32_t index, char* text)
{
  if (index == param::kResend || index == param::kThru)
    std::strcpy(text, getParameter(index) > 0.5f ? "On" : "Off");
  else
    text[0] = '\0';
}

void VSTPlugin::getParameterLabel(int32_t /*index*/, char* label)
{
  label[0] = '\0';
}
