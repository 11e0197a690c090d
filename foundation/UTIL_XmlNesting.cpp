#include "foundation/UTIL_XmlValues.h"

#include <cctype>
#include <cstring>
#include <strings.h>

namespace {

// The parser reads the text byte by byte (see load); these mirror its
// character classes.
bool isSpace(char c)
{
    return isspace(static_cast<unsigned char>(c)) != 0 || c == '\n' || c == '\r';
}

const char *skipSpace(const char *p)
{
    while (*p != '\0' && isSpace(*p))
        p++;
    return p;
}

// A name starts with a letter or '_'; bytes from 127 up count as letters.
bool isNameStart(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 127 || isalpha(u) != 0 || c == '_';
}

bool isNameChar(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 127 || isalnum(u) != 0 || c == '_' || c == '-' || c == '.' || c == ':';
}

// Where the parser sees an element start: '<' followed by a name start.
bool startsElement(const char *p)
{
    return p[0] == '<' && isNameStart(p[1]);
}

// Just past the first occurrence of end at or after p; the text's end when
// there is none.
const char *skipPast(const char *p, const char *end)
{
    const char *q = strstr(p, end);
    return q != nullptr ? q + strlen(end) : p + strlen(p);
}

// Just past the first '>' at or after p that is outside quoted values (the
// end of a start tag); the text's end when there is none.
const char *skipPastTag(const char *p)
{
    while (*p != '\0' && *p != '>') {
        if (*p == '"' || *p == '\'') {
            const char *close = strchr(p + 1, *p);
            if (close == nullptr)
                return p + strlen(p);
            p = close + 1;
        } else {
            p++;
        }
    }
    return *p == '>' ? p + 1 : p;
}

// One "version", "encoding" or "standalone" attribute of a declaration as
// the parser reads it: just past it, or null where the parser fails.
const char *declarationAttributeEnd(const char *p)
{
    p = skipSpace(p);
    if (!isNameStart(*p))
        return nullptr;
    while (isNameChar(*p))
        p++;
    p = skipSpace(p);
    if (*p != '=')
        return nullptr;
    p = skipSpace(p + 1);
    if (*p == '\0')
        return nullptr;
    if (*p == '"' || *p == '\'') {
        const char *close = strchr(p + 1, *p);
        return close != nullptr ? close + 1 : nullptr;
    }
    for (; *p != '\0' && !isSpace(*p) && *p != '/' && *p != '>'; p++)
        if (*p == '"' || *p == '\'')
            return nullptr;
    return p;
}

// A declaration from just after its "<?xml" as the parser reads it: just
// past its end, or null where the parser fails. Its quoted values may hold
// a '>'; its other words may not.
const char *declarationEnd(const char *p)
{
    while (*p != '\0') {
        if (*p == '>')
            return p + 1;
        p = skipSpace(p);
        if (strncasecmp(p, "version", 7) == 0 || strncasecmp(p, "encoding", 8) == 0 ||
            strncasecmp(p, "standalone", 10) == 0) {
            p = declarationAttributeEnd(p);
            if (p == nullptr)
                return nullptr;
        } else {
            while (*p != '\0' && *p != '>' && !isSpace(*p))
                p++;
        }
    }
    return nullptr;
}

} // namespace

bool UTIL_isNestingWithin(const char *text, int limit)
{
    // Follows the parser's own split of the text, byte by byte: comments,
    // character data, "<!" and "<?" nodes and declarations end where the
    // parser ends them, so that no '<' inside them is taken for markup; a
    // start tag runs to its first '>' outside quoted values and closes at
    // once when that is "/>"; an end tag closes one level. Where the parser
    // would fail, it stops reading, and nothing after matters.
    if (text == nullptr)
        return true;
    int depth = 0;
    const char *p = text;
    while ((p = strchr(p, '<')) != nullptr) {
        if (strncmp(p, "<!--", 4) == 0) {
            p = skipPast(p + 4, "-->");
        } else if (strncmp(p, "<![CDATA[", 9) == 0) {
            p = skipPast(p + 9, "]]>");
        } else if (p[1] == '!') {
            p = skipPast(p + 2, ">");
        } else if (strncasecmp(p, "<?xml", 5) == 0) {
            p = declarationEnd(p + 5);
            if (p == nullptr)
                return true;
        } else if (p[1] == '/') {
            // Inside an element the parser checks the element's end tag;
            // outside any, it skips the node to its '>'.
            if (depth > 0)
                depth--;
            p = skipPast(p + 2, ">");
        } else if (startsElement(p)) {
            if (++depth > limit)
                return false;
            const char *end = skipPastTag(p + 2);
            if (end[-1] == '>' && end[-2] == '/')
                depth--;
            p = end;
        } else {
            // Anything else (a "<?" instruction among them) is an unknown
            // node up to its first '>'.
            p = skipPast(p + 1, ">");
        }
    }
    return true;
}
