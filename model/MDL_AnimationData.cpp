#include "model/MDL_AnimationData.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <tinyxml.h>

#include "foundation/UTIL_XmlValues.h"

namespace {

// Up to three numbers of a child element; missing and non-finite ones are 0.
MTH_Vector3D readVector(const TiXmlElement *element, const char *name)
{
    MTH_Vector3D v;
    const TiXmlElement *child = element->FirstChildElement(name);
    if (child == nullptr)
        return v;
    double values[3] = {0, 0, 0};
    UTIL_parseDoubles(child->GetText(), values, 3);
    v.m_fX = std::isfinite(values[0]) ? values[0] : 0;
    v.m_fY = std::isfinite(values[1]) ? values[1] : 0;
    v.m_fZ = std::isfinite(values[2]) ? values[2] : 0;
    return v;
}

int clampIndex(int i, int count)
{
    return i < 0 ? 0 : (i >= count ? count - 1 : i);
}

} // namespace

MDL_AnimationData::MDL_AnimationData()
    : m_sName(nullptr), m_iKeyCount(0), m_pfTimes(nullptr), m_poLocations(nullptr), m_poRotations(nullptr),
      m_poScales(nullptr), m_iOrder(ORDER_UNKNOWN)
{
}

MDL_AnimationData::~MDL_AnimationData()
{
    freeKeys();
    free(m_sName);
    m_sName = nullptr;
    m_oProxyHandle.release();
}

void MDL_AnimationData::setName(const char *name)
{
    char *copy = name != nullptr ? strdup(name) : nullptr;
    free(m_sName);
    m_sName = copy;
}

void MDL_AnimationData::freeKeys()
{
    free(m_pfTimes);
    free(m_poLocations);
    free(m_poRotations);
    free(m_poScales);
    m_pfTimes = nullptr;
    m_poLocations = m_poRotations = m_poScales = nullptr;
    m_iKeyCount = 0;
    m_iOrder = ORDER_UNKNOWN;
}

bool MDL_AnimationData::setKeyCount(int count)
{
    freeKeys();
    if (count < 0)
        return false;
    if (count == 0)
        return true;
    size_t n = static_cast<size_t>(count);
    m_pfTimes = static_cast<double *>(calloc(n, sizeof(double)));
    m_poLocations = static_cast<MTH_Vector3D *>(calloc(n, sizeof(MTH_Vector3D)));
    m_poRotations = static_cast<MTH_Vector3D *>(calloc(n, sizeof(MTH_Vector3D)));
    m_poScales = static_cast<MTH_Vector3D *>(calloc(n, sizeof(MTH_Vector3D)));
    if (m_pfTimes == nullptr || m_poLocations == nullptr || m_poRotations == nullptr || m_poScales == nullptr) {
        freeKeys();
        return false;
    }
    m_iKeyCount = count;
    return true;
}

void MDL_AnimationData::setKey(int i, double time, const MTH_Vector3D &location, const MTH_Vector3D &rotation,
                               const MTH_Vector3D &scale)
{
    if (i < 0 || i >= m_iKeyCount)
        return;
    m_pfTimes[i] = time;
    m_poLocations[i] = location;
    m_poRotations[i] = rotation;
    m_poScales[i] = scale;
    m_iOrder = ORDER_UNKNOWN;
}

double MDL_AnimationData::getKeyTime(int i) const
{
    return i >= 0 && i < m_iKeyCount ? m_pfTimes[i] : 0;
}

double MDL_AnimationData::getKeyTimeSum() const
{
    double sum = 0;
    for (int i = 0; i < m_iKeyCount; i++)
        sum += m_pfTimes[i];
    return sum;
}

bool MDL_AnimationData::loadFromXML(const TiXmlElement *element)
{
    if (element == nullptr)
        return false;
    setName(element->Attribute("name"));
    freeKeys();
    const TiXmlElement *keys = element->FirstChildElement("keys");
    if (keys == nullptr)
        return true;
    int count = 0;
    keys->QueryIntAttribute("count", &count);
    // Keys that the record announces but does not hold would be empty keys
    // at time 0 behind the real ones: only keys that are present are kept.
    int present = UTIL_countChildren(keys, "key");
    if (count > present)
        count = present;
    if (count < 0)
        count = 0;
    if (!setKeyCount(count))
        return false;
    int i = 0;
    for (const TiXmlElement *key = keys->FirstChildElement("key"); key != nullptr && i < count;
         key = key->NextSiblingElement("key"), i++) {
        double time = 0;
        key->QueryDoubleAttribute("time", &time);
        if (!std::isfinite(time))
            time = 0;
        m_pfTimes[i] = time;
        m_poLocations[i] = readVector(key, "location");
        m_poRotations[i] = readVector(key, "rotation");
        m_poScales[i] = readVector(key, "scale");
    }
    return true;
}

bool MDL_AnimationData::isFirstInterval(int i, double time) const
{
    // Interval i - 1 also holds the time only when the time is t_i itself.
    return i >= 0 && i < m_iKeyCount - 1 && m_pfTimes[i] <= time && time <= m_pfTimes[i + 1] &&
           (i == 0 || m_pfTimes[i] < time);
}

int MDL_AnimationData::findInterval(double time, int hint) const
{
    int count = m_iKeyCount;
    if (count < 2)
        return -1;
    if (m_iOrder == ORDER_UNKNOWN) {
        m_iOrder = ORDER_ASCENDING;
        for (int i = 1; i < count; i++)
            if (!(m_pfTimes[i - 1] <= m_pfTimes[i])) {
                m_iOrder = ORDER_UNSORTED;
                break;
            }
    }
    if (m_iOrder == ORDER_UNSORTED) {
        for (int i = 0; i < count - 1; i++)
            if (m_pfTimes[i] <= time && time <= m_pfTimes[i + 1])
                return i;
        return -1;
    }
    // Times that never decrease: a player moving forwards mostly stays in
    // its interval or steps into the next one.
    if (isFirstInterval(hint, time))
        return hint;
    if (isFirstInterval(hint + 1, time))
        return hint + 1;
    // Otherwise the first interval whose end is not
    // before the time is the first that can hold it, and no later one holds
    // it when that one does not.
    int low = 0, high = count - 1; // the answer lies in [low, high)
    while (low < high) {
        int middle = low + (high - low) / 2;
        if (m_pfTimes[middle + 1] >= time)
            high = middle;
        else
            low = middle + 1;
    }
    if (low >= count - 1 || !(m_pfTimes[low] <= time && time <= m_pfTimes[low + 1]))
        return -1;
    return low;
}

bool MDL_AnimationData::samplePose(double time, MTH_Vector3D &location, MTH_Vector3D &rotation, MTH_Vector3D &scale,
                                   int *hint) const
{
    int i = findInterval(time, hint != nullptr ? *hint : -1);
    if (hint != nullptr)
        *hint = i;
    if (i < 0)
        return false;
    double start = m_pfTimes[i];
    double span = m_pfTimes[i + 1] - start;
    // Two keys at one time make an interval of zero length: it gives key i
    // rather than 0 / 0.
    double s = span > 0 ? (time - start) / span : 0;
    if (!(s >= 0))
        s = 0;
    else if (s > 1)
        s = 1;

    double s2 = s * s, s3 = s2 * s;
    double w0 = -s3 + 2 * s2 - s;
    double w1 = 3 * s3 - 5 * s2 + 2;
    double w2 = -3 * s3 + 4 * s2 + s;
    double w3 = s3 - s2;
    int count = m_iKeyCount;
    int k0 = clampIndex(i - 1, count), k1 = i, k2 = i + 1, k3 = clampIndex(i + 2, count);

    auto blend = [&](const MTH_Vector3D *keys) {
        const MTH_Vector3D &a = keys[k0], &b = keys[k1], &c = keys[k2], &d = keys[k3];
        return MTH_Vector3D(0.5 * (w0 * a.m_fX + w1 * b.m_fX + w2 * c.m_fX + w3 * d.m_fX),
                            0.5 * (w0 * a.m_fY + w1 * b.m_fY + w2 * c.m_fY + w3 * d.m_fY),
                            0.5 * (w0 * a.m_fZ + w1 * b.m_fZ + w2 * c.m_fZ + w3 * d.m_fZ));
    };
    rotation = blend(m_poRotations);
    scale = blend(m_poScales);
    location = blend(m_poLocations);
    return true;
}
