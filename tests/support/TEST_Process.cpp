#include "tests/support/TEST_Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

TEST_ProcessResult TEST_run(const std::string &program, const std::vector<std::string> &arguments,
                            const TEST_Environment &environment)
{
    // Long enough for any run of a test; a hung player is killed.
    return TEST_RunningProcess(program, arguments, environment).finish(300);
}

TEST_ProcessResult TEST_runWithFileLimit(const std::string &program, const std::vector<std::string> &arguments,
                                         long bytes)
{
    return TEST_RunningProcess(program, arguments, TEST_Environment(), bytes).finish(300);
}

TEST_RunningProcess::TEST_RunningProcess(const std::string &program, const std::vector<std::string> &arguments,
                                         const TEST_Environment &environment, long fileLimit)
{
    std::string out = m_oDir.path("out"), err = m_oDir.path("err");
    m_iPid = fork();
    if (m_iPid == 0) {
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        dup2(o, 1);
        dup2(e, 2);
        dup2(in, 0);
        if (fileLimit >= 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {static_cast<rlim_t>(fileLimit), static_cast<rlim_t>(fileLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (const std::string &change : environment) {
            size_t equals = change.find('=');
            if (equals == std::string::npos)
                unsetenv(change.c_str());
            else
                setenv(change.substr(0, equals).c_str(), change.c_str() + equals + 1, 1);
        }
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &a : arguments)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

TEST_RunningProcess::~TEST_RunningProcess()
{
    if (m_iPid > 0) {
        kill(m_iPid, SIGKILL);
        waitpid(m_iPid, nullptr, 0);
    }
}

std::string TEST_RunningProcess::errorSoFar() const
{
    return TEST_readText(m_oDir.path("err"));
}

bool TEST_RunningProcess::waitForError(const std::string &text, double seconds) const
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (errorSoFar().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void TEST_RunningProcess::signal(int number) const
{
    if (m_iPid > 0)
        kill(m_iPid, number);
}

TEST_ProcessResult TEST_RunningProcess::finish(double seconds)
{
    TEST_ProcessResult result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    pid_t ended = 0;
    while (m_iPid > 0 && ended == 0) {
        bool waitAll = seconds < 0;
        ended = waitpid(m_iPid, &status, waitAll ? 0 : WNOHANG);
        if (ended < 0 && errno == EINTR)
            ended = 0;
        if (ended == 0) {
            if (std::chrono::steady_clock::now() > deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (ended == m_iPid) {
        m_iPid = 0;
        if (WIFEXITED(status))
            result.m_iExitCode = WEXITSTATUS(status);
    }
    // A process still running is killed by the destructor; what it wrote
    // so far is the result.
    result.m_sOut = TEST_readText(m_oDir.path("out"));
    result.m_sErr = errorSoFar();
    return result;
}
