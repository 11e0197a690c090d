#include "controller/desktop/CTRL_Desktop.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "controller/desktop/CTRL_CloseGuard.h"
#include "controller/desktop/CTRL_SdlInput.h"
#include "foundation/UTIL_Bitmap.h"
#include "foundation/UTIL_Log.h"
#include "view/desktop/VIEW_SdlCursor.h"
#include "view/desktop/VIEW_SdlSound.h"
#include "view/desktop/VIEW_WavSound.h"
#include "view/null/VIEW_NullSound.h"

extern char **environ;

CTRL_Desktop::CTRL_Desktop(CTRL_ScriptEngine *engine)
    : CTRL_Generic(engine, CTRL_PLATFORM_LINUX), m_iCursor(0), m_sOpenProgram("xdg-open"), m_poSdlInput(nullptr),
      m_bCaptureFailed(false)
{
}

CTRL_Desktop::~CTRL_Desktop()
{
    delete m_poSdlInput;
    closeSound();
}

bool CTRL_Desktop::openSound(bool device, const char *capturePath)
{
    closeSound();
    if (capturePath != nullptr) {
        VIEW_WavSound *capture = new VIEW_WavSound(capturePath, &m_bCaptureFailed);
        if (!capture->isOpen()) {
            delete capture;
            return false;
        }
        m_poSound = capture;
        return true;
    }
    if (device) {
        VIEW_SdlSound *output = new VIEW_SdlSound();
        if (output->isOpen()) {
            m_poSound = output;
            return true;
        }
        UTIL_warn("No audio device opened (%s): sound is mixed but not heard", output->getError());
        delete output;
    }
    m_poSound = new VIEW_NullSound();
    return true;
}

bool CTRL_Desktop::openDocumentOrReport(const char *path)
{
    if (!openDocument(path) && !m_bHalted)
        reportError("Document %s could not be read", path);
    return !m_bHalted;
}

bool CTRL_Desktop::finishPlay(const char *screenshotPath, const UTIL_Bitmap &shot)
{
    bool ok = true;
    closeSound();
    if (m_bCaptureFailed)
        ok = false; // the capture said why
    if (m_bHalted) {
        fprintf(stderr, "%s\n", m_sErrorText);
        ok = false;
    }
    if (screenshotPath != nullptr) {
        if (shot.m_pucData == nullptr) {
            fprintf(stderr, "vekta: no screenshot written: the last frame drew nothing that could be read\n");
            ok = false;
        } else if (!shot.writePng(screenshotPath)) {
            ok = false; // the writer said why
        }
    }
    // Last, once what the user asked for is written: the scripts' finalizers
    // run, in a bounded time, and an error they report fails the run too.
    bool halted = m_bHalted;
    {
        CTRL_CloseGuard guard(m_sDocumentPath);
        closeScripts();
    }
    if (m_bHalted && !halted) {
        fprintf(stderr, "%s\n", m_sErrorText);
        ok = false;
    }
    return ok;
}

void CTRL_Desktop::setCursor(int kind)
{
    m_iCursor = kind;
    // Only a controller with a window has a pointer to show it on.
    VIEW_SdlCursor::show(kind);
}

void CTRL_Desktop::deliverInput(const SDL_Event &event, double scaleX, double scaleY)
{
    if (m_poSdlInput == nullptr)
        m_poSdlInput = new CTRL_SdlInput(this);
    m_poSdlInput->setScale(scaleX, scaleY);
    m_poSdlInput->handle(event);
}

void CTRL_Desktop::flushInput()
{
    if (m_poSdlInput != nullptr)
        m_poSdlInput->flush();
}

void CTRL_Desktop::openExternal(const char *address)
{
    if (address == nullptr || address[0] == '\0')
        return;
    // The opener would read a leading dash as one of its own options.
    if (address[0] == '-') {
        UTIL_warn("Not opening \"%s\": an address cannot begin with '-'.", address);
        return;
    }
    if (!launchDetached(m_sOpenProgram, address))
        UTIL_warn("Could not run %s to open \"%s\".", m_sOpenProgram, address);
}

bool CTRL_Desktop::launchDetached(const char *program, const char *argument)
{
    if (program == nullptr || argument == nullptr)
        return false;
    char *const argv[] = {const_cast<char *>(program), const_cast<char *>(argument), nullptr};
    // The intermediate child starts the program and leaves at once; the
    // program then belongs to init, which reaps it, so the player neither
    // waits for it nor keeps a zombie.
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        pid_t program_pid = 0;
        int error = posix_spawnp(&program_pid, program, nullptr, nullptr, argv, environ);
        _exit(error == 0 ? 0 : 127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const char *CTRL_Desktop::userLocale()
{
    static const char *const s_asVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    for (const char *name : s_asVariables) {
        const char *value = getenv(name);
        if (value != nullptr && value[0] != '\0')
            return value;
    }
    return nullptr;
}

size_t CTRL_Desktop::scriptMemoryCap(size_t wanted)
{
    size_t cap = wanted;
    for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit;
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
            continue;
        rlim_t half = limit.rlim_cur / 2;
        if (half > 0 && half < cap)
            cap = static_cast<size_t>(half);
    }
    return cap;
}

void CTRL_Desktop::languageOfLocale(const char *locale, char *output)
{
    strcpy(output, "US");
    if (locale == nullptr || strcmp(locale, "C") == 0 || strcmp(locale, "POSIX") == 0)
        return;
    // The language part ends at the territory, codeset, modifier or the next
    // entry of a LANGUAGE list: "fr_FR.UTF-8", "de:en", "sr@latin".
    size_t length = strcspn(locale, "_.@:");
    if (length < 2 || !isalpha(static_cast<unsigned char>(locale[0])) ||
        !isalpha(static_cast<unsigned char>(locale[1])))
        return;
    output[0] = static_cast<char>(toupper(static_cast<unsigned char>(locale[0])));
    output[1] = static_cast<char>(toupper(static_cast<unsigned char>(locale[1])));
    output[2] = '\0';
}

void CTRL_Desktop::getLanguage(char *output)
{
    if (m_acLanguage[0] == '\0')
        languageOfLocale(userLocale(), m_acLanguage);
    strcpy(output, m_acLanguage);
}
