#include "controller/desktop/CTRL_CommandNumbers.h"

#include <cmath>
#include <cstdlib>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits from p on; the count read.
int skipDigits(const char *&p)
{
    int n = 0;
    while (isDigit(*p)) {
        p++;
        n++;
    }
    return n;
}

} // namespace

bool CTRL_readWhole(const char *text, long min, long max, long &value)
{
    if (text == nullptr)
        return false;
    const char *p = text;
    bool negative = *p == '-' && min < 0;
    if (negative)
        p++;
    if (!isDigit(*p))
        return false;
    // Accumulated towards the sign's side, so that the most negative value
    // fits too; a step past the range stops at once.
    long result = 0;
    for (; isDigit(*p); p++) {
        int digit = *p - '0';
        if (negative) {
            if (result < (min + digit) / 10)
                return false;
            result = result * 10 - digit;
        } else {
            if (result > (max - digit) / 10)
                return false;
            result = result * 10 + digit;
        }
    }
    if (*p != '\0' || result < min || result > max)
        return false;
    value = result;
    return true;
}

bool CTRL_readNumber(const char *text, double &value)
{
    if (text == nullptr)
        return false;
    const char *p = text;
    if (*p == '-')
        p++;
    int digits = skipDigits(p);
    if (*p == '.') {
        p++;
        digits += skipDigits(p);
    }
    if (digits == 0)
        return false;
    if (*p == 'e' || *p == 'E') {
        p++;
        if (*p == '+' || *p == '-')
            p++;
        if (skipDigits(p) == 0)
            return false;
    }
    if (*p != '\0')
        return false;
    // The text is plain decimal: strtod reads all of it (the process keeps
    // the "C" locale, whose decimal point is the full stop).
    double result = strtod(text, nullptr);
    if (!std::isfinite(result))
        return false;
    value = result;
    return true;
}
