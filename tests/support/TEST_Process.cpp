#include "tests/support/TEST_Process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/TEST_Document.h"

TEST_ProcessResult TEST_run(const std::string &program, const std::vector<std::string> &arguments)
{
    TEST_ProcessResult result;
    TEST_TempDir dir;
    std::string out = dir.path("out"), err = dir.path("err");
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        dup2(o, 1);
        dup2(e, 2);
        dup2(in, 0);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &a : arguments)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.m_iExitCode = WEXITSTATUS(status);
    result.m_sOut = TEST_readText(out);
    result.m_sErr = TEST_readText(err);
    return result;
}
