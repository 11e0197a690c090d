#include "foundation/UTIL_XmlValues.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <tinyxml.h>

namespace {

inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads the next byte (two digits); false at the NUL.
inline bool nextByte(const char *&p, unsigned char &byte)
{
    int value = 0;
    for (int half = 0; half < 2;) {
        char c = *p;
        if (c == '\0')
            return false;
        p++;
        int d = hexDigit(c);
        if (d < 0)
            continue;
        value = value * 16 + d;
        half++;
    }
    byte = static_cast<unsigned char>(value);
    return true;
}

// Reads n little-endian bytes into out; false (nothing stored) at the NUL.
inline bool nextValue(const char *&p, int n, unsigned char *out)
{
    for (int i = 0; i < n; i++)
        if (!nextByte(p, out[i]))
            return false;
    return true;
}

const char *const DELIMITERS = " ,\t\r\n";

} // namespace

const char *UTIL_hexToBytes(const char *text, int count, unsigned char *output)
{
    if (text == nullptr)
        return text;
    const char *p = text;
    for (int i = 0; i < count; i++)
        if (!nextByte(p, output[i]))
            break;
    return p;
}

const char *UTIL_hexToInts(const char *text, int size, int count, int *output)
{
    if (text == nullptr || (size != 2 && size != 4))
        return text;
    const char *p = text;
    unsigned char b[4];
    for (int i = 0; i < count; i++) {
        if (!nextValue(p, size, b))
            break;
        if (size == 2) {
            unsigned v = b[0] | (static_cast<unsigned>(b[1]) << 8);
            output[i] = v == 0xFFFF ? -1 : static_cast<int>(v);
        } else {
            uint32_t v = b[0] | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
                         (static_cast<uint32_t>(b[3]) << 24);
            int32_t s;
            memcpy(&s, &v, 4);
            output[i] = s;
        }
    }
    return p;
}

const char *UTIL_hexToDoubles(const char *text, int size, int count, double *output)
{
    if (text == nullptr || (size != 4 && size != 8))
        return text;
    const char *p = text;
    unsigned char b[8];
    for (int i = 0; i < count; i++) {
        if (!nextValue(p, size, b))
            break;
        if (size == 4) {
            float f;
            memcpy(&f, b, 4); // the machine is little-endian, as the files are
            output[i] = f;
        } else {
            memcpy(&output[i], b, 8);
        }
    }
    return p;
}

int64_t UTIL_countHexDigits(const char *text)
{
    int64_t digits = 0;
    if (text == nullptr)
        return 0;
    for (const char *p = text; *p != '\0'; p++)
        if (hexDigit(*p) >= 0)
            digits++;
    return digits;
}

bool UTIL_readIntAttribute(const TiXmlElement *element, const char *name, int64_t &value)
{
    const char *text = element != nullptr ? element->Attribute(name) : nullptr;
    if (text == nullptr)
        return false;
    char *end = nullptr;
    long long v = strtoll(text, &end, 10);
    if (end == text)
        return false;
    if (v > INT32_MAX)
        v = static_cast<long long>(INT32_MAX) + 1;
    else if (v < INT32_MIN)
        v = static_cast<long long>(INT32_MIN) - 1;
    value = v;
    return true;
}

int UTIL_parseDoubles(const char *text, double *output, int count)
{
    if (text == nullptr || count <= 0)
        return 0;
    char *copy = strdup(text);
    int stored = 0;
    char *save = nullptr;
    for (char *token = strtok_r(copy, DELIMITERS, &save); token != nullptr && stored < count;
         token = strtok_r(nullptr, DELIMITERS, &save))
        output[stored++] = strtod(token, nullptr);
    free(copy);
    return stored;
}

bool UTIL_readChildDoubles(const TiXmlElement *element, const char *child, double *output, int count)
{
    if (element == nullptr)
        return false;
    const TiXmlElement *e = element->FirstChildElement(child);
    if (e == nullptr)
        return false;
    return UTIL_parseDoubles(e->GetText(), output, count) == count;
}

bool UTIL_readChildBool(const TiXmlElement *element, const char *child, bool *output)
{
    if (element == nullptr)
        return false;
    const TiXmlElement *e = element->FirstChildElement(child);
    if (e == nullptr || e->GetText() == nullptr)
        return false;
    char *copy = strdup(e->GetText());
    char *save = nullptr;
    char *token = strtok_r(copy, DELIMITERS, &save);
    bool found = token != nullptr;
    if (found)
        *output = strtol(token, nullptr, 10) != 0;
    free(copy);
    return found;
}

int UTIL_countChildren(const TiXmlElement *element, const char *child)
{
    if (element == nullptr)
        return 0;
    int n = 0;
    for (const TiXmlElement *e = element->FirstChildElement(child); e != nullptr; e = e->NextSiblingElement(child))
        n++;
    return n;
}

const char *UTIL_xmlSource(const TiXmlNode *node)
{
    const TiXmlDocument *document = node != nullptr ? node->GetDocument() : nullptr;
    const char *name = document != nullptr ? document->Value() : nullptr;
    return name != nullptr && name[0] != '\0' ? name : nullptr;
}

bool LoadBuffer(TiXmlDocument &document, const char *text, int)
{
    if (text == nullptr || text[0] == '\0') {
        document.SetError(TiXmlBase::TIXML_ERROR_DOCUMENT_EMPTY, nullptr, nullptr, TIXML_ENCODING_UNKNOWN);
        return false;
    }
    static const char UTF8_MARK[] = "\xEF\xBB\xBF";
    if (strncmp(text, UTF8_MARK, 3) == 0)
        text += 3;
    if (!UTIL_isNestingWithin(text, UTIL_kiMaxXmlNesting)) {
        document.SetError(TiXmlBase::TIXML_ERROR_PARSING_ELEMENT, nullptr, nullptr, TIXML_ENCODING_LEGACY);
        return false;
    }
    document.Parse(text, nullptr, TIXML_ENCODING_LEGACY);
    return !document.Error();
}
