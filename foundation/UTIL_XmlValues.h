#pragma once

#include <cstdint>

class TiXmlElement;
class TiXmlDocument;
class TiXmlNode;

// Hexadecimal arrays of the models-set files: lower-case digits, two per byte,
// every other character skipped, multi-byte values little-endian in text
// order. Decoding stops at the text's NUL: values it does not reach are left
// as they were. Each returns the position just after the last digit used.
const char *UTIL_hexToBytes(const char *text, int count, unsigned char *output);
// size 2: 16-bit values widened (0xFFFF gives -1); size 4: 32-bit values.
const char *UTIL_hexToInts(const char *text, int size, int count, int *output);
// size 4: single-precision floats widened; size 8: doubles.
const char *UTIL_hexToDoubles(const char *text, int size, int count, double *output);

// The number of hexadecimal digits (as the decoders read them) in text:
// what an array's count can be checked against before anything is decoded.
int64_t UTIL_countHexDigits(const char *text);

// An integer attribute; false when it is absent or has no digits. Values
// beyond the 32-bit range are stored just outside it, so that they fail any
// range check of the caller.
bool UTIL_readIntAttribute(const TiXmlElement *element, const char *name, int64_t &value);

// Decimal lists split at blank, ',', tab, CR and LF.
int UTIL_parseDoubles(const char *text, double *output, int count);
bool UTIL_readChildDoubles(const TiXmlElement *element, const char *child, double *output, int count);
bool UTIL_readChildBool(const TiXmlElement *element, const char *child, bool *output);
int UTIL_countChildren(const TiXmlElement *element, const char *child);

// The name of the document a parsed node belongs to (a models set's is the
// member it was read from), for diagnostics; null when it has none.
const char *UTIL_xmlSource(const TiXmlNode *node);

// Parses an XML text held in memory; an empty text fails with TinyXML's
// error 12 ("Error document empty."). True when the document holds no error.
// TinyXML parses recursively and, in its UTF-8 mode, reads past a text that
// ends inside a multi-byte sequence: so a text nested deeper than
// UTIL_kiMaxXmlNesting elements is refused (error TIXML_ERROR_PARSING_ELEMENT)
// before parsing, and every text is parsed byte by byte (TinyXML's legacy
// encoding, whatever encoding is asked for), a leading UTF-8 byte-order mark
// skipped; names and texts keep the bytes written.
bool LoadBuffer(TiXmlDocument &document, const char *text, int encoding);

const int UTIL_kiMaxXmlNesting = 256;

// Whether no element of text is nested deeper than limit levels, following
// the parser's own split of the text into markup and character data.
bool UTIL_isNestingWithin(const char *text, int limit);
