#pragma once

#include <string>
#include <vector>

// Runs a program with arguments (no shell), capturing its standard output
// and standard error.
struct TEST_ProcessResult {
    int m_iExitCode = -1;
    std::string m_sOut;
    std::string m_sErr;
};

TEST_ProcessResult TEST_run(const std::string &program, const std::vector<std::string> &arguments);
