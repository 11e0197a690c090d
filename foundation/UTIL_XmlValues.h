#pragma once

class TiXmlElement;
class TiXmlDocument;

// Hexadecimal arrays of the models-set files: lower-case digits, two per byte,
// every other character skipped, multi-byte values little-endian in text
// order. Decoding stops at the text's NUL: values it does not reach are left
// as they were. Each returns the position just after the last digit used.
const char *UTIL_hexToBytes(const char *text, int count, unsigned char *output);
// size 2: 16-bit values widened (0xFFFF gives -1); size 4: 32-bit values.
const char *UTIL_hexToInts(const char *text, int size, int count, int *output);
// size 4: single-precision floats widened; size 8: doubles.
const char *UTIL_hexToDoubles(const char *text, int size, int count, double *output);

// Decimal lists split at blank, ',', tab, CR and LF.
int UTIL_parseDoubles(const char *text, double *output, int count);
bool UTIL_readChildDoubles(const TiXmlElement *element, const char *child, double *output, int count);
bool UTIL_readChildBool(const TiXmlElement *element, const char *child, bool *output);
int UTIL_countChildren(const TiXmlElement *element, const char *child);

// Parses an XML text held in memory; an empty text fails with TinyXML's
// error 12 ("Error document empty."). True when the document holds no error.
bool LoadBuffer(TiXmlDocument &document, const char *text, int encoding);
