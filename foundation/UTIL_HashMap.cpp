#include "foundation/UTIL_HashMap.h"

int UTIL_hashMultiplier(int capacity)
{
    static const int kaiPrimes[] = {53,        97,        193,       389,       769,       1543,     3079,
                                    6151,      12289,     24593,     49157,     98317,     196613,   393241,
                                    786433,    1572869,   3145739,   6291469,   12582917,  25165843, 50331653,
                                    100663319, 201326611, 402653189, 805306457, 1610612741};
    const int count = static_cast<int>(sizeof(kaiPrimes) / sizeof(kaiPrimes[0]));
    for (int i = 0; i < count; i++)
        if (kaiPrimes[i] >= capacity)
            return kaiPrimes[i];
    return kaiPrimes[count - 1];
}
