#pragma once

#include "foundation/UTIL_ProxyHandle.h"

// The base of every script proxy of the binding layer. Its engine-side
// members (the bound object, the count of owners, the event handler) are
// those of UTIL_Proxy, so that engine objects can delete proxies and post
// events to them without the scripting library.
class LMP_Proxy : public UTIL_Proxy {
public:
    LMP_Proxy() = default;
    explicit LMP_Proxy(void *object) : UTIL_Proxy(object) {}
};
