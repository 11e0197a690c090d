#include "scripting/LMP_Proxy.h"

LMP_Proxy *LMP_Proxy::s_poFirstHeld = nullptr;

LMP_Proxy::~LMP_Proxy()
{
    unlink();
}

void LMP_Proxy::unlink()
{
    if (m_iUserdataRefs == 0)
        return;
    if (m_poPrevious != nullptr)
        m_poPrevious->m_poNext = m_poNext;
    else
        s_poFirstHeld = m_poNext;
    if (m_poNext != nullptr)
        m_poNext->m_poPrevious = m_poPrevious;
    m_poPrevious = m_poNext = nullptr;
    m_iUserdataRefs = 0;
    m_poUserdataState = nullptr;
}

void LMP_Proxy::userdataMade(lua_State *state)
{
    m_iRefCount++;
    if (m_iUserdataRefs++ == 0) {
        m_poNext = s_poFirstHeld;
        if (s_poFirstHeld != nullptr)
            s_poFirstHeld->m_poPrevious = this;
        s_poFirstHeld = this;
    }
    m_poUserdataState = state;
}

void LMP_Proxy::userdataCollected()
{
    m_iRefCount--;
    if (m_iUserdataRefs == 1)
        unlink();
    else if (m_iUserdataRefs > 1)
        m_iUserdataRefs--;
}

int LMP_Proxy::heldCount()
{
    int count = 0;
    for (const LMP_Proxy *proxy = s_poFirstHeld; proxy != nullptr; proxy = proxy->m_poNext)
        count++;
    return count;
}

void LMP_Proxy::releaseClosedInterpreter(lua_State *state)
{
    LMP_Proxy *proxy = s_poFirstHeld;
    while (proxy != nullptr) {
        LMP_Proxy *next = proxy->m_poNext;
        if (proxy->m_poUserdataState == state) {
            proxy->m_iRefCount -= proxy->m_iUserdataRefs;
            proxy->unlink();
            if (proxy->m_iRefCount <= 0)
                delete proxy;
        }
        proxy = next;
    }
}
