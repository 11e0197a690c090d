#include <cstdarg>

#include <gtest/gtest.h>

#include "foundation/UTIL_ProxyHandle.h"
#include "tests/support/TEST_Support.h"

namespace {

// A proxy that records what reaches it and answers with a chosen result.
class RecordingProxy : public UTIL_Proxy {
public:
    RecordingProxy(void *object, bool *destroyed) : UTIL_Proxy(object), m_pbDestroyed(destroyed) {}
    ~RecordingProxy() override
    {
        if (m_pbDestroyed != nullptr)
            *m_pbDestroyed = true;
    }
    int handleCallback(UTIL_EventHost *host, int code, va_list args) override
    {
        m_iCalls++;
        m_poHost = host;
        m_iCode = code;
        m_iFirstArgument = va_arg(args, int);
        m_fSecondArgument = va_arg(args, double);
        return m_iResult;
    }

    bool *m_pbDestroyed;
    int m_iResult = 1;
    int m_iCalls = 0;
    int m_iCode = 0;
    int m_iFirstArgument = 0;
    double m_fSecondArgument = 0;
    UTIL_EventHost *m_poHost = nullptr;
};

int dummyObject;

TEST(UtilProxyHandle, ReleaseDeletesAProxyOnlyTheEngineHeld)
{
    bool destroyed = false;
    {
        UTIL_ProxyHandle handle;
        EXPECT_EQ(nullptr, handle.m_poProxy);
        handle.bind(new RecordingProxy(&dummyObject, &destroyed));
        EXPECT_EQ(1, handle.m_poProxy->m_iRefCount);
        handle.release();
        EXPECT_TRUE(destroyed);
        EXPECT_EQ(nullptr, handle.m_poProxy);
        handle.release(); // nothing left to release
    }
    EXPECT_TRUE(destroyed);
}

TEST(UtilProxyHandle, ProxyWithAScriptReferenceOutlivesItsObject)
{
    bool destroyed = false;
    RecordingProxy *proxy = new RecordingProxy(&dummyObject, &destroyed);
    proxy->m_iRefCount = 1; // the script's userdata
    {
        UTIL_ProxyHandle handle;
        handle.bind(proxy);
        EXPECT_EQ(2, proxy->m_iRefCount);
    } // the engine object dies
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(1, proxy->m_iRefCount);
    EXPECT_EQ(nullptr, proxy->m_poObject);
    delete proxy;
}

TEST(UtilProxyHandle, ObjectWithoutProxyTouchesNoProxy)
{
    bool destroyed = false;
    RecordingProxy bystander(&dummyObject, &destroyed);
    bystander.m_iRefCount = 1;
    {
        UTIL_ProxyHandle handle;
        UTIL_ProxyHandle copy(handle);
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(1, bystander.m_iRefCount);
    EXPECT_EQ(&dummyObject, bystander.m_poObject);
}

TEST(UtilProxyHandle, BindReplacesAnEarlierProxyAndCopiesStartEmpty)
{
    bool firstDestroyed = false, secondDestroyed = false;
    UTIL_ProxyHandle handle;
    handle.bind(new RecordingProxy(&dummyObject, &firstDestroyed));
    RecordingProxy *second = new RecordingProxy(&dummyObject, &secondDestroyed);
    handle.bind(second);
    EXPECT_TRUE(firstDestroyed);
    EXPECT_EQ(second, handle.getProxy());
    handle.bind(second); // binding the same proxy again takes no second reference
    EXPECT_EQ(1, second->m_iRefCount);
    UTIL_ProxyHandle copy(handle);
    EXPECT_EQ(nullptr, copy.m_poProxy);
    handle.release();
    EXPECT_TRUE(secondDestroyed);
}

class UtilProxyHandlePost : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_poProxy = new RecordingProxy(&dummyObject, nullptr);
        m_oHandle.bind(m_poProxy);
    }
    void TearDown() override { m_oHandle.release(); }

    TEST_EventHost m_oHost;
    RecordingProxy *m_poProxy = nullptr;
    UTIL_ProxyHandle m_oHandle;
};

TEST_F(UtilProxyHandlePost, ForwardsCodeAndArgumentsAndReturnsTheResult)
{
    m_poProxy->m_iResult = 0x101; // callers read the low byte only
    EXPECT_EQ(0x101, m_oHandle.postEvent(&m_oHost, 9, 42, 2.5));
    EXPECT_EQ(1, m_poProxy->m_iCalls);
    EXPECT_EQ(&m_oHost, m_poProxy->m_poHost);
    EXPECT_EQ(9, m_poProxy->m_iCode);
    EXPECT_EQ(42, m_poProxy->m_iFirstArgument);
    EXPECT_EQ(2.5, m_poProxy->m_fSecondArgument);
}

TEST_F(UtilProxyHandlePost, NotForwardedWithoutAProxyOrAHostThatAccepts)
{
    UTIL_ProxyHandle empty;
    EXPECT_EQ(0, empty.postEvent(&m_oHost, 3, 1, 1.0));    // no proxy
    EXPECT_EQ(0, m_oHandle.postEvent(nullptr, 3, 1, 1.0)); // no host
    m_oHost.m_bAccepts = false;                            // e.g. halted after an error report
    EXPECT_EQ(0, m_oHandle.postEvent(&m_oHost, 3, 1, 1.0));
    EXPECT_EQ(0, m_poProxy->m_iCalls);
    m_oHost.m_bAccepts = true;
    EXPECT_EQ(1, m_oHandle.postEvent(&m_oHost, 3, 1, 1.0));
}

} // namespace
