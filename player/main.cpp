// vekta: plays documents.
#include <climits>
#include <clocale>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "PLAYER_Options.h"
#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_Desktop.h"
#include "controller/desktop/CTRL_HeadlessHost.h"
#include "controller/desktop/CTRL_InputScript.h"
#include "controller/desktop/CTRL_Interrupt.h"
#include "controller/desktop/CTRL_Shell.h"
#include "foundation/UTIL_Bitmap.h"
#include "foundation/UTIL_MemoryReserve.h"
#include "scripting/LMP_ScriptEngine.h"

static const char BUILT_IN_DOCUMENT[] = "vKorvestrane.vk";

static bool exists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// The built-in document lies beside the executable (in the build) or, once
// installed, in the share folder beside the executable's bin folder.
static std::string builtInDocument()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return BUILT_IN_DOCUMENT;
    path[n] = '\0';
    std::string exe(path);
    size_t slash = exe.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
    std::string beside = folder + BUILT_IN_DOCUMENT;
    if (exists(beside))
        return beside;
    std::string installed = folder + "../share/vekta/" + BUILT_IN_DOCUMENT;
    return exists(installed) ? installed : beside;
}

// The interpreter of one document, with the memory cap of its scripts.
static LMP_ScriptEngine *newScriptEngine()
{
    LMP_ScriptEngine *engine = new LMP_ScriptEngine();
    engine->setMemoryLimit(CTRL_Desktop::scriptMemoryCap(LMP_ScriptEngine::DEFAULT_MEMORY_LIMIT));
    return engine;
}

// Plays one document without a display; false when the error report fired
// or the document could not be played, or its screenshot or sound capture
// written. A signal stops the frames (and a running script) and the document
// closes as after its last frame: nothing of the stop is reported. A
// document that fails to open draws one frame, with its message, when a
// screenshot is asked for.
static bool playHeadless(const std::string &path, const PLAYER_Options &options, const CTRL_InputScript *input)
{
    // The controller owns the engine and deletes it.
    CTRL_Desktop controller(newScriptEngine());
    if (!options.m_sLanguage.empty())
        controller.setLanguage(options.m_sLanguage.c_str());
    // Headless runs hear nothing unless they capture the sound. The capture
    // is made before the document opens, so that a document that fails
    // still leaves a complete (silent) capture, never an earlier run's file.
    if (!controller.openSound(false, options.m_sAudioOut.empty() ? nullptr : options.m_sAudioOut.c_str()))
        return false;
    bool halted = !controller.openDocumentOrReport(path.c_str());
    UTIL_Bitmap shot;
    bool wantShot = !options.m_sScreenshot.empty();
    // A document halted before its first frame draws only the frame of its
    // message, and only for a screenshot.
    long frames = halted ? 1 : options.m_iFrames;
    if (!halted || wantShot) {
        CTRL_HeadlessHost host(&controller, options.m_iWidth, options.m_iHeight);
        if (!host.drawing()) {
            if (wantShot) {
                fprintf(stderr, "vekta: cannot make the screenshot %s: no OpenGL (%s)\n", options.m_sScreenshot.c_str(),
                        host.failure());
                return false;
            }
            fprintf(stderr, "vekta: no OpenGL (%s): drawing nothing\n", host.failure());
        }
        host.setInput(input);
        host.run(frames, options.m_fDeltaTime, wantShot ? &shot : nullptr);
    }
    return controller.finishPlay(wantShot ? options.m_sScreenshot.c_str() : nullptr, shot);
}

// Plays the documents in windows, all at once; false when one failed or no
// window could be opened.
static bool playInWindows(const PLAYER_Options &options, const CTRL_InputScript *input)
{
    CTRL_ShellSettings settings;
    settings.m_iWidth = options.m_iWidth;
    settings.m_iHeight = options.m_iHeight;
    settings.m_iFrames = options.m_iFrames;
    settings.m_fDeltaTime = options.m_fDeltaTime;
    settings.m_sScreenshot = options.m_sScreenshot;
    settings.m_sAudioOut = options.m_sAudioOut;
    settings.m_sLanguage = options.m_sLanguage;
    settings.m_poInput = input;
    CTRL_Shell shell(settings, [] { return new CTRL_Desktop(newScriptEngine()); });
    if (!shell.start(options.m_asDocuments))
        return false;
    shell.run();
    return !shell.failed();
}

int main(int argc, char **argv)
{
    // Numbers in scripts and documents are written and read with a full
    // stop whatever the user's locale: the whole process stays in "C".
    setlocale(LC_ALL, "C");
    PLAYER_Options options;
    std::string error;
    if (!PLAYER_parseOptions(argc, argv, options, error)) {
        fprintf(stderr, "vekta: %s\n", error.c_str());
        PLAYER_printTryHelp(stderr);
        return 2;
    }
    if (options.m_bHelp) {
        PLAYER_printUsage(stdout);
        return 0;
    }
    if (options.m_bVersion) {
        printf("vekta %s\n", VEKTA_VERSION);
        return 0;
    }
    // Every document gets the same input events.
    CTRL_InputScript inputFile;
    const CTRL_InputScript *input = nullptr;
    if (!options.m_sInput.empty()) {
        char reason[1024];
        if (!inputFile.load(options.m_sInput.c_str(), reason, sizeof(reason))) {
            fprintf(stderr, "vekta: %s\n", reason);
            return 2;
        }
        input = &inputFile;
    }
    if (options.m_asDocuments.empty())
        options.m_asDocuments.push_back(builtInDocument());
    // Should a document exhaust the process's memory, this is what drawing
    // its error report takes.
    UTIL_MemoryReserve::hold(UTIL_MemoryReserve::PLAYER_BYTES);
    CTRL_Interrupt::install();
    bool ok = true;
    if (options.m_bHeadless) {
        for (const std::string &path : options.m_asDocuments)
            if (CTRL_Interrupt::signal() == 0)
                ok = playHeadless(path, options, input) && ok;
    } else {
        ok = playInWindows(options, input);
    }
    // Stopped by a signal: the shells' convention, 128 plus its number.
    if (CTRL_Interrupt::signal() != 0)
        return 128 + CTRL_Interrupt::signal();
    return ok ? 0 : 1;
}
