#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/TEST_Document.h"

// Runs a program with arguments (no shell), capturing its standard output
// and standard error.
struct TEST_ProcessResult {
    int m_iExitCode = -1; // -1: it did not exit (killed by a signal, or still running at the deadline)
    std::string m_sOut;
    std::string m_sErr;
};

// Changes to the environment of a started program: "NAME=VALUE" sets a
// variable, a bare "NAME" removes it.
typedef std::vector<std::string> TEST_Environment;

TEST_ProcessResult TEST_run(const std::string &program, const std::vector<std::string> &arguments,
                            const TEST_Environment &environment = TEST_Environment());
// TEST_run for a program whose files (its standard error too) may not grow
// past bytes: a write beyond fails (EFBIG) instead of ending it.
TEST_ProcessResult TEST_runWithFileLimit(const std::string &program, const std::vector<std::string> &arguments,
                                         long bytes);

// A program started in the background, its output going to files, for tests
// that watch or signal it while it runs. Destroying it kills what still
// runs.
class TEST_RunningProcess {
public:
    // fileLimit: the size past which its files may not grow (-1: none).
    TEST_RunningProcess(const std::string &program, const std::vector<std::string> &arguments,
                        const TEST_Environment &environment = TEST_Environment(), long fileLimit = -1);
    ~TEST_RunningProcess();
    TEST_RunningProcess(const TEST_RunningProcess &) = delete;
    TEST_RunningProcess &operator=(const TEST_RunningProcess &) = delete;

    // What it wrote to standard error so far.
    std::string errorSoFar() const;
    // Waits up to seconds for text to appear on its standard error.
    bool waitForError(const std::string &text, double seconds) const;
    void signal(int number) const;
    // Waits for it to end (a negative time: as long as it takes); one still
    // running after seconds is killed and gives exit code -1.
    TEST_ProcessResult finish(double seconds = -1);

private:
    TEST_TempDir m_oDir;
    pid_t m_iPid;
};
