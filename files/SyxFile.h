// .syx files (a program's SysEx messages back to back) read and written by
// the model's .syx rules (model/SysEx.h): the one reader that quillet-host,
// the editor and the LV2 edition share. Any thread but the audio thread.
#pragma once

#include "model/SysEx.h"

#include <memory>
#include <string>

namespace files {

// Reads the .syx file at `path`. False, with `error` one line "PATH: reason"
// (for a refused file the offset of the byte at fault and why) and `set`
// unchanged, for a file that cannot be read or breaks the rules.
bool ReadSyxFile(const std::string& path, std::unique_ptr<const SysExSet>& set, std::string& error);

// Writes the set's messages (not its dump request) as a .syx file.
bool WriteSyxFile(const std::string& path, const SysExSet& set, std::string& error);

} // namespace files
