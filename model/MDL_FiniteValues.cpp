#include "model/MDL_FiniteValues.h"

#include "foundation/UTIL_XmlValues.h"

double MDL_fScaledQuotient(double x, double numerator, double denominator)
{
    if (denominator == 0) {
        double t = x * numerator;
        if (t == 0 || std::isnan(t))
            return 0;
        return t > 0 ? -DBL_MAX : DBL_MAX;
    }
    return MDL_fFinite(x * (numerator / denominator));
}

bool MDL_readFiniteNumbers(const TiXmlElement *element, const char *child, double *output, int count)
{
    enum { MAX_COUNT = 16 };
    if (count <= 0 || count > MAX_COUNT)
        return false;
    double values[MAX_COUNT];
    if (!UTIL_readChildDoubles(element, child, values, count))
        return false;
    for (int i = 0; i < count; i++)
        if (!std::isfinite(values[i]))
            return false;
    for (int i = 0; i < count; i++)
        output[i] = values[i];
    return true;
}
