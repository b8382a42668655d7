// LV2 preset bundles that hold a bank as the LV2 edition's state, so that the
// preset menus of LV2 hosts list it, and the reader of a preset a host saved.
//
// A bundle is a folder NAME.lv2 with manifest.ttl, which names the preset,
// and the preset's own file:
//
//   <>  a pset:Preset ;  lv2:appliesTo <urn:quillet:quillet> ;
//       rdfs:label "NAME" ;
//       state:state [ <urn:quillet:quillet:bank> "...base64..."^^xsd:base64Binary ;
//                     <urn:quillet:quillet:program> "3"^^xsd:int ] .
//
// The two state keys are the plug-in's own (lv2/Lv2Uris.h): the bank chunk,
// which a host hands the plug-in as an atom:Chunk (the type an LV2 host
// reads base64Binary literals as), and the current program, an atom:Int.
// The reader takes any Turtle a host writes (prefixes or full URIs, either
// literal form) through serd, the Turtle library LV2 hosts use.
//
// Plain functions; any thread but the audio thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace files {

struct Lv2PresetState
{
  std::string label;
  std::vector<uint8_t> bank; // the bank chunk
  int32_t program = 0;
};

// The bundle's folder for a label ("Quillet_Synth_bank.lv2") and the
// preset's file in it ("Synth_bank.ttl"): the label with every character
// but letters, digits, '-' and '.' as '_'.
std::string Lv2PresetBundleName(const std::string& label);
std::string Lv2PresetFileName(const std::string& label);

// The Turtle of the preset's file and of the bundle's manifest.
std::string Lv2PresetTurtle(const Lv2PresetState& state);
std::string Lv2PresetManifest(const std::string& presetFile);

// Writes the bundle into `folder` (made when missing, with its parents):
// a preset of the same label is replaced, each file only once whole.
// `presetPath` gets the preset file's path. False with one line "PATH:
// reason" when a file cannot be written.
bool WriteLv2Preset(const std::string& folder, const Lv2PresetState& state, std::string& presetPath,
                    std::string& error);

// Reads a preset file. False with one line "PATH: reason" for a file that
// cannot be read (FileBytes.h), is no Turtle, is a preset of another
// plug-in, or holds no bank of this plug-in's state.
bool ReadLv2Preset(const std::string& path, Lv2PresetState& state, std::string& error);

} // namespace files
