#pragma once

#include <string>
#include <vector>

// Captures the diagnostic log while it lives.
class TEST_LogCapture {
public:
    TEST_LogCapture();
    ~TEST_LogCapture();
    std::string joined() const;
    bool contains(const std::string &text) const;

    std::vector<std::string> m_asLines;
};
