// The Linux controller's language (the chosen one, else the user's locale),
// its opening of addresses with the desktop's opener, and the memory cap of
// its scripts under a process limit.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <lua.hpp>

#include "controller/desktop/CTRL_CloseGuard.h"
#include "controller/desktop/CTRL_Desktop.h"
#include "scripting/LMP_ScriptEngine.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"
#include "tests/support/TEST_Support.h"

namespace {

const char *const s_asLocaleVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

// Sets the four locale variables for the test's lifetime (null unsets one)
// and puts the previous values back afterwards.
class LocaleEnvironment {
public:
    LocaleEnvironment(const char *language, const char *all, const char *messages, const char *lang)
    {
        const char *values[] = {language, all, messages, lang};
        for (int i = 0; i < 4; i++) {
            const char *old = getenv(s_asLocaleVariables[i]);
            m_abHad[i] = old != nullptr;
            m_asOld[i] = old != nullptr ? old : "";
            if (values[i] != nullptr)
                setenv(s_asLocaleVariables[i], values[i], 1);
            else
                unsetenv(s_asLocaleVariables[i]);
        }
    }
    ~LocaleEnvironment()
    {
        for (int i = 0; i < 4; i++) {
            if (m_abHad[i])
                setenv(s_asLocaleVariables[i], m_asOld[i].c_str(), 1);
            else
                unsetenv(s_asLocaleVariables[i]);
        }
    }

private:
    bool m_abHad[4];
    std::string m_asOld[4];
};

// The chunk's first result as a text, or "error: <message>".
std::string runLua(CTRL_Desktop &controller, const char *chunk)
{
    return TEST_runLua(LMP_ScriptEngine::of(&controller)->m_poLuaState, chunk);
}

bool fileExists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Waits up to five seconds for a detached program's output file.
std::string waitForText(const std::string &path)
{
    for (int i = 0; i < 500 && !fileExists(path); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fileExists(path) ? TEST_readText(path) : "<none>";
}

} // namespace

TEST(DesktopLanguage, LanguageOfLocaleName)
{
    static const struct {
        const char *m_sLocale;
        const char *m_sCode;
    } s_aoCases[] = {
        {"fr_FR.UTF-8", "FR"}, {"de", "DE"},       {"pt_BR", "PT"},   {"sr@latin", "SR"},
        {"it:en_US", "IT"},    {"es.UTF-8", "ES"}, {"ast_ES", "AS"},  {"zh_CN.GB18030", "ZH"},
        {"C", "US"},           {"POSIX", "US"},    {"C.UTF-8", "US"}, {"", "US"},
        {nullptr, "US"},       {"x", "US"},        {"1a_B", "US"},    {"_FR", "US"},
    };
    for (const auto &c : s_aoCases) {
        char code[8] = "zzzzzzz";
        CTRL_Desktop::languageOfLocale(c.m_sLocale, code);
        EXPECT_STREQ(code, c.m_sCode) << (c.m_sLocale != nullptr ? c.m_sLocale : "(null)");
    }
}

// getLanguage() from a script, for each environment: the first non-empty of
// LANGUAGE, LC_ALL, LC_MESSAGES and LANG decides.
TEST(DesktopLanguage, ScriptsReadTheLocale)
{
    static const struct {
        const char *m_asValues[4];
        const char *m_sCode;
    } s_aoCases[] = {
        {{nullptr, nullptr, nullptr, "fr_FR.UTF-8"}, "FR"},
        {{"de:en", "it_IT.UTF-8", "es_ES", "fr_FR"}, "DE"},
        {{"", "it_IT.UTF-8", "es_ES", "fr_FR"}, "IT"},
        {{"", "", "es_ES.UTF-8", "fr_FR"}, "ES"},
        {{nullptr, "", "", "ru_RU.KOI8-R"}, "RU"},
        {{nullptr, "C", nullptr, "fr_FR"}, "US"},
        {{nullptr, nullptr, "POSIX", nullptr}, "US"},
        {{nullptr, nullptr, nullptr, nullptr}, "US"},
        {{"", "", "", ""}, "US"},
    };
    for (const auto &c : s_aoCases) {
        LocaleEnvironment environment(c.m_asValues[0], c.m_asValues[1], c.m_asValues[2], c.m_asValues[3]);
        CTRL_Desktop controller(new LMP_ScriptEngine());
        EXPECT_EQ(runLua(controller, "return getLanguage()"), c.m_sCode) << c.m_sCode;
        EXPECT_STREQ(controller.m_acLanguage, c.m_sCode);
    }
}

TEST(DesktopLanguage, ChosenLanguageWins)
{
    LocaleEnvironment environment("de_DE", "de_DE", "de_DE", "de_DE");
    CTRL_Desktop controller(new LMP_ScriptEngine());
    controller.setLanguage("RU");
    EXPECT_EQ(runLua(controller, "return getLanguage()"), "RU");
    EXPECT_EQ(runLua(controller, "return getPlatform() == ENV_LINUX"), "true");
}

// The address reaches the opener as its one argument, exactly as given: no
// shell sees it. The opener here records its arguments instead of opening.
TEST(DesktopOpen, AddressIsTheSingleArgument)
{
    TEST_TempDir dir;
    std::string opener =
        dir.write("opener.sh", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
    ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
    std::string marker = dir.path("injected");

    static const char *const s_asAddresses[] = {
        "https://example.org/a b?c=1&d=2",
        "file:///tmp/x;touch MARKER",
        "$(touch MARKER)`touch MARKER` 'q' \"d\" | > <",
    };
    for (const char *pattern : s_asAddresses) {
        std::string address = pattern;
        for (size_t at; (at = address.find("MARKER")) != std::string::npos;)
            address.replace(at, 6, marker);
        unlink((opener + ".out").c_str());

        TEST_LogCapture log;
        CTRL_Desktop controller(nullptr);
        controller.m_sOpenProgram = opener.c_str();
        controller.openExternal(address.c_str());
        EXPECT_EQ(waitForText(opener + ".out"), "1|" + address);
        EXPECT_FALSE(fileExists(marker)) << address;
        EXPECT_EQ(log.joined(), "");
    }
}

TEST(DesktopOpen, FromAScript)
{
    TEST_TempDir dir;
    std::string opener =
        dir.write("opener.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
    ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
    CTRL_Desktop controller(new LMP_ScriptEngine());
    controller.m_sOpenProgram = opener.c_str();
    EXPECT_EQ(runLua(controller, "return select('#', openURL(12))"), "0");
    EXPECT_EQ(waitForText(opener + ".out"), "12");
}

TEST(DesktopOpen, RefusedAndFailedOpens)
{
    EXPECT_STREQ(CTRL_Desktop(nullptr).m_sOpenProgram, "xdg-open");
    EXPECT_TRUE(CTRL_Desktop::launchDetached("/bin/true", "x"));
    EXPECT_TRUE(CTRL_Desktop::launchDetached("true", "x")); // looked up on the PATH
    EXPECT_FALSE(CTRL_Desktop::launchDetached("/nonexistent/opener", "x"));
    EXPECT_FALSE(CTRL_Desktop::launchDetached(nullptr, "x"));

    TEST_LogCapture log;
    CTRL_Desktop controller(nullptr);
    controller.m_sOpenProgram = "/nonexistent/opener";
    controller.openExternal("");      // nothing to open
    controller.openExternal(nullptr); // likewise
    EXPECT_EQ(log.joined(), "");
    controller.openExternal("https://example.org/");
    EXPECT_TRUE(log.contains("Could not run /nonexistent/opener")) << log.joined();
    controller.m_sOpenProgram = "/bin/true";
    controller.openExternal("--help");
    EXPECT_TRUE(log.contains("cannot begin with '-'")) << log.joined();
}

// Under a limit of the process's memory the scripts get at most half of it,
// so that the player keeps memory to show their error. The limit is lowered
// only around the call, which allocates nothing.
TEST(DesktopMemory, ScriptsGetAtMostHalfOfAProcessLimit)
{
    const size_t GIB = size_t(1) << 30;
    struct Case {
        int resource;
        rlim_t limit; // RLIM_INFINITY: none
        size_t wanted;
        size_t cap;
    };
    const Case cases[] = {
        {RLIMIT_AS, RLIM_INFINITY, GIB, GIB},
        {RLIMIT_AS, 1 * GIB, GIB, GIB / 2},
        {RLIMIT_DATA, 600u << 20, GIB, 300u << 20},
        {RLIMIT_DATA, 3 * GIB, GIB, GIB},
    };
    for (const Case &c : cases) {
        struct rlimit before;
        ASSERT_EQ(getrlimit(c.resource, &before), 0);
        if (c.limit != RLIM_INFINITY && before.rlim_max != RLIM_INFINITY && before.rlim_max < c.limit)
            continue; // the machine allows less already
        struct rlimit lowered = before;
        lowered.rlim_cur = c.limit;
        ASSERT_EQ(setrlimit(c.resource, &lowered), 0);
        size_t cap = CTRL_Desktop::scriptMemoryCap(c.wanted);
        ASSERT_EQ(setrlimit(c.resource, &before), 0);
        EXPECT_EQ(cap, c.cap) << c.resource << " " << c.limit;
    }
}

// Where no thread can be started for the close's time limit (here a process
// limit of 0 for an unprivileged user), the close runs without one instead
// of ending the player.
TEST(DesktopClose, ACloseWithoutAWatcherThreadStillCloses)
{
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(3);
        struct rlimit none = {0, 0};
        if (setrlimit(RLIMIT_NPROC, &none) != 0)
            _exit(4);
        {
            CTRL_CloseGuard guard("doc.vk", 0.1);
        }
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
