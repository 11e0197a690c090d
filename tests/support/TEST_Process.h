#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/TEST_Document.h"

// Runs a program with arguments (no shell), capturing its standard output
// and standard error.
struct TEST_ProcessResult {
    int m_iExitCode = -1; // -1 when it did not exit by itself
    std::string m_sOut;
    std::string m_sErr;
};

// Changes to the environment of a started program: "NAME=VALUE" sets a
// variable, a bare "NAME" removes it.
typedef std::vector<std::string> TEST_Environment;

// A program started in the background, its output going to files.
class TEST_Child {
public:
    TEST_Child(const std::string &program, const std::vector<std::string> &arguments,
               const TEST_Environment &environment = TEST_Environment());
    // Kills the program when it still runs.
    ~TEST_Child();
    TEST_Child(const TEST_Child &) = delete;
    TEST_Child &operator=(const TEST_Child &) = delete;

    // Waits for the program to end, at most timeoutSeconds (then it is
    // killed and the exit code is -1).
    TEST_ProcessResult wait(double timeoutSeconds = 300);
    // What the program has written to standard error so far.
    std::string errorSoFar() const;

    pid_t m_iPid;

private:
    TEST_TempDir m_oDir;
};

TEST_ProcessResult TEST_run(const std::string &program, const std::vector<std::string> &arguments,
                            const TEST_Environment &environment = TEST_Environment());
