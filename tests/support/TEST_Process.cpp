#include "tests/support/TEST_Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

TEST_Child::TEST_Child(const std::string &program, const std::vector<std::string> &arguments,
                       const TEST_Environment &environment)
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

TEST_Child::~TEST_Child()
{
    if (m_iPid > 0) {
        kill(m_iPid, SIGKILL);
        waitpid(m_iPid, nullptr, 0);
    }
}

TEST_ProcessResult TEST_Child::wait(double timeoutSeconds)
{
    TEST_ProcessResult result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    while (m_iPid > 0) {
        pid_t ended = waitpid(m_iPid, &status, WNOHANG);
        if (ended == m_iPid) {
            if (WIFEXITED(status))
                result.m_iExitCode = WEXITSTATUS(status);
            m_iPid = 0;
        } else if (ended < 0) {
            m_iPid = 0;
        } else if (std::chrono::steady_clock::now() > deadline) {
            kill(m_iPid, SIGKILL);
            waitpid(m_iPid, nullptr, 0);
            m_iPid = 0;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    result.m_sOut = TEST_readText(m_oDir.path("out"));
    result.m_sErr = TEST_readText(m_oDir.path("err"));
    return result;
}

std::string TEST_Child::errorSoFar() const
{
    return TEST_readText(m_oDir.path("err"));
}

TEST_ProcessResult TEST_run(const std::string &program, const std::vector<std::string> &arguments,
                            const TEST_Environment &environment)
{
    TEST_Child child(program, arguments, environment);
    return child.wait();
}
