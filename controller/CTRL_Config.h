#pragma once

// The newest document version (config.xml) this player opens.
const int CTRL_kiPlayerVersionMajor = 1;
const int CTRL_kiPlayerVersionMinor = 6;
const int CTRL_kiPlayerVersionPatch = 4;

// Checks the text of config.xml (terminated by NUL) as the player does when
// it opens a document: the text parses, its root element is <vekta> (or
// <muln>) and holds a <version> element, and that version asks for no newer
// player than this one. The version's attributes "major", "minor" and
// "patch" are read into major, minor and patch (one that is missing or no
// number leaves its value). False when the player refuses the text, with the
// cause as one line in the diagnostic log that begins with "config.xml:"
// (and the parser's line, where it gives one).
bool CTRL_checkConfigText(const char *text, int &major, int &minor, int &patch);
