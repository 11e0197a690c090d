#include "tests/support/TEST_Log.h"

#include "foundation/UTIL_Log.h"

static void captureLine(const char *line, void *context)
{
    static_cast<TEST_LogCapture *>(context)->m_asLines.push_back(line);
}

TEST_LogCapture::TEST_LogCapture()
{
    UTIL_setLogSink(captureLine, this);
}

TEST_LogCapture::~TEST_LogCapture()
{
    UTIL_setLogSink(nullptr, nullptr);
}

std::string TEST_LogCapture::joined() const
{
    std::string all;
    for (const std::string &line : m_asLines)
        all += line + "\n";
    return all;
}

bool TEST_LogCapture::contains(const std::string &text) const
{
    return joined().find(text) != std::string::npos;
}
