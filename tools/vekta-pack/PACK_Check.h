#pragma once

#include <vector>

#include "tools/pack/PACK_Document.h"

// Whether the player would open a document of these members and could read
// each of its scripts and XML files: config.xml is checked by the player's
// own check, every ".lua" member is compiled as the player compiles it
// (nothing runs), and every other ".xml" member is parsed by the player's
// parser. Each fault is one line in the diagnostic log: the player's own
// cause for config.xml, "name:line: message" (the interpreter's or the
// parser's) for the others. False when any member has a fault.
bool PACK_checkContents(const std::vector<PACK_Member> &members);
