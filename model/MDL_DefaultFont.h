#pragma once

// The TrueType font built into the player (with a Unicode character map),
// embedded at build time from the file named by VEKTA_DEFAULT_FONT_FILE;
// fonts whose name begins with "default" open it.
extern "C" {
extern const unsigned char MDL_kaucDefaultFontData[];
extern const int MDL_kiDefaultFontSize;
}
