// How quillet-host spells a strip's message (--strip P:S:A[:B]), read off
// the model's kind table (model/MessageKinds.h) by iterating it: the help's
// list of kinds and the reason a message is refused, naming the field at
// fault. strips::Parse stays the one parser; this only explains.
//
// Threads: quillet-host's main thread only.
#pragma once

#include "model/MessageKinds.h"

#include <string>
#include <vector>

namespace qhost::cli {

// One line per kind of the table ("nrpn/CHANNEL/NUMBER/VALUE[/7][/null]"
// and its ranges), then "off".
std::vector<std::string> KindSpellings();
// The kinds' words as a list ("cc, note, ... or off").
std::string KindWords();
// The names of the kinds kept in the wide block ("NRPN, RPN, CC14 and PB"),
// whose fields are the wide parameters.
std::string WideKindNames();

// Parses a message as strips::Parse does. False with `why` set to what is
// wrong, naming the field ("the number of a cc message is 0 to 127, not
// 128").
bool ParseStripMessage(const std::string& text, strips::Message& out, std::string& why);

} // namespace qhost::cli
