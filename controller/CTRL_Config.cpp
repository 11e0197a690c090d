#include "controller/CTRL_Config.h"

#include <tinyxml.h>

#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_XmlValues.h"

// Whether the version asks for no newer player, compared field by field.
static bool playerOpens(int major, int minor, int patch)
{
    if (major != CTRL_kiPlayerVersionMajor)
        return major < CTRL_kiPlayerVersionMajor;
    if (minor != CTRL_kiPlayerVersionMinor)
        return minor < CTRL_kiPlayerVersionMinor;
    return patch <= CTRL_kiPlayerVersionPatch;
}

// Reads the version of a parsed config.xml; false, with the reason in the
// log, when it has no version element or a newer one than the player's.
static bool acceptConfig(const TiXmlDocument &document, int &major, int &minor, int &patch)
{
    const TiXmlElement *root = document.FirstChildElement("vekta");
    if (root == nullptr)
        root = document.FirstChildElement("muln");
    if (root == nullptr) {
        const TiXmlElement *first = document.FirstChildElement();
        if (first != nullptr)
            UTIL_warn("config.xml: the root element is <%s>; a document's is <vekta>", first->Value());
        else
            UTIL_warn("config.xml: no <vekta> root element");
        return false;
    }
    const TiXmlElement *version = root->FirstChildElement("version");
    if (version == nullptr) {
        UTIL_warn("config.xml: <%s> has no <version> element", root->Value());
        return false;
    }
    version->QueryIntAttribute("major", &major);
    version->QueryIntAttribute("minor", &minor);
    version->QueryIntAttribute("patch", &patch);
    if (playerOpens(major, minor, patch))
        return true;
    UTIL_warn("config.xml: the document needs player version %d.%d.%d; this player is %d.%d.%d", major, minor, patch,
              CTRL_kiPlayerVersionMajor, CTRL_kiPlayerVersionMinor, CTRL_kiPlayerVersionPatch);
    return false;
}

bool CTRL_checkConfigText(const char *text, int &major, int &minor, int &patch)
{
    TiXmlDocument document;
    if (LoadBuffer(document, text, 0))
        return acceptConfig(document, major, minor, patch);
    if (document.ErrorRow() > 0)
        UTIL_warn("config.xml:%d: %s", document.ErrorRow(), document.ErrorDesc());
    else
        UTIL_warn("config.xml: %s", document.ErrorDesc());
    return false;
}
