// The LV2 edition's fixed names (the plug-in, its editor, its ports, its
// state keys and its file parameters) and the URIDs the adapter maps once,
// when an instance is made.
//
// The names are those the bundle's Turtle files and every host and test that
// loads the bundle use; they are written here once. Lv2Uris is filled on the
// thread that instantiates and only read afterwards, from any thread.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/parameters/parameters.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstdint>

namespace lv2names {

constexpr const char* kPluginUri = "urn:quillet:quillet";
constexpr const char* kUiUri = "urn:quillet:quillet:ui";
// State keys: the bank chunk (atom:Chunk, the same bytes as the VST 2 bank
// chunk) and the current program (atom:Int).
constexpr const char* kStateBank = "urn:quillet:quillet:bank";
constexpr const char* kStateProgram = "urn:quillet:quillet:program";
// The file parameters (patch:writable, range atom:Path) and their labels
// (Lv2FileParameters.h).
constexpr const char* kSysExFile = "urn:quillet:quillet:sysex-file";
constexpr const char* kPresetFile = "urn:quillet:quillet:preset-file";
constexpr const char* kSysExFileLabel = "SysEx file";
constexpr const char* kPresetFileLabel = "Preset file";

// Port indices; the symbols are those of quillet.ttl.
enum Port : uint32_t
{
  kEventsIn = 0,
  kEventsOut = 1,
  kResend = 2,
  kThru = 3,
  kProgram = 4,
  kVerify = 5, // output: the last verify result (0 none, 1 verified, 2 differs, 3 no answer)
  kPortCount = 6
};

} // namespace lv2names

struct Lv2Uris
{
  LV2_URID atomBlank = 0;
  LV2_URID atomChunk = 0;
  LV2_URID atomDouble = 0;
  LV2_URID atomFloat = 0;
  LV2_URID atomFrameTime = 0;
  LV2_URID atomInt = 0;
  LV2_URID atomLong = 0;
  LV2_URID atomObject = 0;
  LV2_URID atomPath = 0;
  LV2_URID atomUrid = 0;
  LV2_URID atomSequence = 0;
  LV2_URID midiEvent = 0;
  LV2_URID timePosition = 0;
  LV2_URID timeBar = 0;
  LV2_URID timeBarBeat = 0;
  LV2_URID timeBeatUnit = 0;
  LV2_URID timeBeatsPerBar = 0;
  LV2_URID timeBeatsPerMinute = 0;
  LV2_URID timeFrame = 0;
  LV2_URID timeSpeed = 0;
  LV2_URID maxBlockLength = 0;
  LV2_URID nominalBlockLength = 0;
  LV2_URID sampleRate = 0;
  LV2_URID stateBank = 0;
  LV2_URID stateProgram = 0;
  LV2_URID patchGet = 0;
  LV2_URID patchSet = 0;
  LV2_URID patchProperty = 0;
  LV2_URID patchValue = 0;
  LV2_URID sysexFile = 0;
  LV2_URID presetFile = 0;

  void Map(const LV2_URID_Map& map)
  {
    auto id = [&map](const char* uri) { return map.map(map.handle, uri); };
    atomBlank = id(LV2_ATOM__Blank);
    atomChunk = id(LV2_ATOM__Chunk);
    atomDouble = id(LV2_ATOM__Double);
    atomFloat = id(LV2_ATOM__Float);
    atomFrameTime = id(LV2_ATOM__frameTime);
    atomInt = id(LV2_ATOM__Int);
    atomLong = id(LV2_ATOM__Long);
    atomObject = id(LV2_ATOM__Object);
    atomPath = id(LV2_ATOM__Path);
    atomUrid = id(LV2_ATOM__URID);
    atomSequence = id(LV2_ATOM__Sequence);
    midiEvent = id(LV2_MIDI__MidiEvent);
    timePosition = id(LV2_TIME__Position);
    timeBar = id(LV2_TIME__bar);
    timeBarBeat = id(LV2_TIME__barBeat);
    timeBeatUnit = id(LV2_TIME__beatUnit);
    timeBeatsPerBar = id(LV2_TIME__beatsPerBar);
    timeBeatsPerMinute = id(LV2_TIME__beatsPerMinute);
    timeFrame = id(LV2_TIME__frame);
    timeSpeed = id(LV2_TIME__speed);
    maxBlockLength = id(LV2_BUF_SIZE__maxBlockLength);
    nominalBlockLength = id(LV2_BUF_SIZE__nominalBlockLength);
    sampleRate = id(LV2_PARAMETERS__sampleRate);
    stateBank = id(lv2names::kStateBank);
    stateProgram = id(lv2names::kStateProgram);
    patchGet = id(LV2_PATCH__Get);
    patchSet = id(LV2_PATCH__Set);
    patchProperty = id(LV2_PATCH__property);
    patchValue = id(LV2_PATCH__value);
    sysexFile = id(lv2names::kSysExFile);
    presetFile = id(lv2names::kPresetFile);
  }
};
