#include "model/MDL_Texture.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include <tinyxml.h>

#include "foundation/UTIL_Id.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_String.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_ImageHeader.h"

namespace {

// Attribute names of the models-set files compare without regard to case;
// the first match wins.
const char *findAttribute(const TiXmlElement *element, const char *name)
{
    for (const TiXmlAttribute *a = element->FirstAttribute(); a != nullptr; a = a->Next())
        if (strcasecmp(a->Name(), name) == 0)
            return a->Value();
    return nullptr;
}

// The bytes UTIL_hexToBytes can take from text: two hexadecimal digits each.
uint64_t hexBytesIn(const char *text)
{
    uint64_t digits = 0;
    for (const char *p = text; *p != '\0'; p++)
        if ((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f'))
            digits++;
    return digits / 2;
}

} // namespace

MDL_Texture::MDL_Texture()
    : m_sName(nullptr), m_iSize(0), m_pucData(nullptr), m_bOwnsData(false), m_bHasAlpha(false), m_bBinaryAlpha(false),
      m_iId(UTIL_nextId()), m_iWidth(0), m_iHeight(0), m_bIsFrame(false), m_bFrameChanged(false),
      m_bReleasePending(false), m_iFilter(MDL_FILTER_DEFAULT), m_bDecodeFailureReported(false)
{
}

MDL_Texture::MDL_Texture(const char *name, unsigned char *data, uint32_t size, bool owns)
    : m_sName(nullptr), m_iSize(0), m_pucData(nullptr), m_bOwnsData(false), m_bHasAlpha(false), m_bBinaryAlpha(false),
      m_iId(0), m_iWidth(0), m_iHeight(0), m_bIsFrame(false), m_bFrameChanged(false), m_bReleasePending(false),
      m_iFilter(MDL_FILTER_DEFAULT), m_bDecodeFailureReported(false)
{
    init(name, data, size, owns);
}

MDL_Texture::~MDL_Texture()
{
    free(m_sName);
    releaseData();
    m_oProxyHandle.release();
}

void MDL_Texture::releaseData()
{
    if (m_bOwnsData && !m_bIsFrame)
        free(m_pucData);
    m_pucData = nullptr;
    m_bOwnsData = false;
    m_iSize = 0;
    m_bDecodeFailureReported = false;
}

void MDL_Texture::init(const char *name, unsigned char *data, uint32_t size, bool owns)
{
    releaseData();
    free(m_sName);
    m_bIsFrame = false;
    m_bFrameChanged = false;
    m_bReleasePending = false;
    m_iId = UTIL_nextId();
    m_iFilter = MDL_FILTER_DEFAULT;
    m_pucData = data;
    m_bOwnsData = owns;
    m_iSize = data != nullptr ? size : 0;
    m_sName = UTIL_sCopyString(name);
    readHeader();
}

void MDL_Texture::readHeader()
{
    m_iWidth = 0;
    m_iHeight = 0;
    m_bHasAlpha = false;
    if (m_pucData == nullptr)
        return;
    MDL_ImageHeader header = MDL_readImageHeader(m_pucData, m_iSize);
    m_iWidth = header.m_iWidth;
    m_iHeight = header.m_iHeight;
    m_bHasAlpha = header.m_bHasAlpha;
}

double MDL_Texture::getAspectRatio() const
{
    if (m_iWidth == 0)
        return 1.0;
    return static_cast<double>(m_iHeight) / static_cast<double>(m_iWidth);
}

bool MDL_Texture::loadFromXML(const TiXmlElement *element)
{
    if (element == nullptr)
        return true;
    free(m_sName);
    m_sName = UTIL_sCopyString(findAttribute(element, "name"));

    uint64_t wanted = m_iSize;
    const char *sizeText = findAttribute(element, "size");
    if (sizeText != nullptr) {
        char *end = nullptr;
        long long value = strtoll(sizeText, &end, 10);
        if (end != sizeText) {
            if (value < 0)
                value = 0;
            else if (value > INT_MAX)
                value = INT_MAX;
            wanted = static_cast<uint64_t>(value);
        }
    }

    // The buffer is sized by what the text holds, so a "size" larger than the
    // data neither allocates for nothing nor leaves bytes undefined.
    releaseData();
    const char *text = element->GetText();
    uint64_t available = text != nullptr ? hexBytesIn(text) : 0;
    uint64_t count = wanted < available ? wanted : available;
    if (count < wanted)
        UTIL_warnFrom(UTIL_xmlSource(element), "Texture %s: size %llu but %llu bytes of data",
                      m_sName != nullptr ? m_sName : "(unnamed)", static_cast<unsigned long long>(wanted),
                      static_cast<unsigned long long>(available));
    if (count > 0) {
        m_pucData = static_cast<unsigned char *>(malloc(static_cast<size_t>(count)));
        if (m_pucData != nullptr) {
            UTIL_hexToBytes(text, static_cast<int>(count), m_pucData);
            m_bOwnsData = true;
            m_iSize = static_cast<uint32_t>(count);
        }
    }

    const char *filter = findAttribute(element, "filter");
    if (filter != nullptr && strcmp(filter, "mipmap") == 0)
        m_iFilter = MDL_FILTER_MIPMAP;
    else if (filter != nullptr && strcmp(filter, "linear") == 0)
        m_iFilter = MDL_FILTER_LINEAR;
    else if (filter != nullptr && strcmp(filter, "nearest_point") == 0)
        m_iFilter = MDL_FILTER_NEAREST_POINT;
    else
        m_iFilter = MDL_FILTER_DEFAULT;

    readHeader();
    return true;
}

void MDL_Texture::setFrame(unsigned char *pixels, int width, int height)
{
    releaseData();
    if (width < 0)
        width = 0;
    if (height < 0)
        height = 0;
    uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3;
    m_bIsFrame = true;
    m_bFrameChanged = true;
    m_pucData = pixels;
    m_bOwnsData = false;
    m_iSize = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
    m_iWidth = width;
    m_iHeight = height;
    m_bHasAlpha = false;
}
