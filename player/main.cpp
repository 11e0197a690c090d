// vekta: plays documents.
#include <climits>
#include <clocale>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "PLAYER_Options.h"
#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_Desktop.h"
#include "controller/desktop/CTRL_HeadlessHost.h"
#include "controller/desktop/CTRL_InputScript.h"
#include "controller/desktop/CTRL_Interrupt.h"
#include "controller/desktop/CTRL_WindowHost.h"
#include "foundation/UTIL_Bitmap.h"
#include "scripting/LMP_ScriptEngine.h"

// The built-in document lies beside the executable.
static std::string builtInDocument()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return "vKorvestrane.vk";
    path[n] = '\0';
    std::string exe(path);
    size_t slash = exe.rfind('/');
    return (slash == std::string::npos ? std::string() : exe.substr(0, slash + 1)) + "vKorvestrane.vk";
}

// The window's title: the document's file name.
static std::string windowTitle(const std::string &path)
{
    size_t slash = path.rfind('/');
    return (slash == std::string::npos ? path : path.substr(slash + 1)) + " - Vekta";
}

// Runs the controller's frames in the host the options ask for. With a
// screenshot asked for, shot receives what the last frame drew. False, with
// a message written, when the host could not be set up.
static bool host(CTRL_Desktop &controller, const std::string &path, const PLAYER_Options &options, UTIL_Bitmap *shot,
                 CTRL_InputScript *input)
{
    const char *capture = options.m_sAudioOut.empty() ? nullptr : options.m_sAudioOut.c_str();
    if (options.m_bHeadless) {
        // Headless runs hear nothing unless they capture the sound.
        if (!controller.openSound(false, capture))
            return false;
        CTRL_HeadlessHost host(&controller, options.m_iWidth, options.m_iHeight);
        if (!host.drawing()) {
            if (shot != nullptr) {
                fprintf(stderr, "vekta: cannot make the screenshot %s: no OpenGL (%s)\n", options.m_sScreenshot.c_str(),
                        host.failure());
                return false;
            }
            fprintf(stderr, "vekta: no OpenGL (%s): drawing nothing\n", host.failure());
        }
        host.setInput(input);
        host.run(options.m_iFrames, options.m_fDeltaTime, shot);
        return true;
    }
    CTRL_WindowHost host(&controller);
    char error[512];
    bool noDisplay = false;
    if (!host.open(windowTitle(path).c_str(), options.m_iWidth, options.m_iHeight, error, sizeof(error), &noDisplay)) {
        fprintf(stderr, "vekta: cannot open a window (%s); --headless plays without a display\n", error);
        return false;
    }
    // The sound device opens with the window.
    if (!controller.openSound(true, capture))
        return false;
    host.setInput(input);
    host.run(options.m_iFrames, options.m_fDeltaTime, shot);
    return true;
}

// Plays one document; false when the error report fired or the document
// could not be played or its screenshot written. A signal stops the frames
// (and a running script) and the document closes as after its last frame:
// nothing of the stop is reported.
static bool play(const std::string &path, const PLAYER_Options &options, CTRL_InputScript *input)
{
    // The controller owns the engine and deletes it.
    CTRL_Desktop controller(new LMP_ScriptEngine());
    bool opened = controller.openDocument(path.c_str());
    if (!opened && !controller.m_bHalted) {
        // An empty or unreadable file fails without a report; the user must
        // still learn that nothing was played.
        fprintf(stderr, "Document %s could not be read\n%s\n", path.c_str(), CTRL_Generic::stageMessage(0));
        return false;
    }
    UTIL_Bitmap shot;
    bool wantShot = !options.m_sScreenshot.empty();
    if (input != nullptr)
        input->rewind();
    if (opened && !controller.m_bHalted && !host(controller, path, options, wantShot ? &shot : nullptr, input))
        return false;
    bool ok = true;
    if (controller.m_bHalted) {
        fprintf(stderr, "%s\n", controller.m_sErrorText);
        ok = false;
    }
    if (wantShot) {
        if (shot.m_pucData == nullptr) {
            fprintf(stderr, "vekta: no screenshot written: the last frame drew nothing that could be read\n");
            return false;
        }
        if (!shot.writePng(options.m_sScreenshot.c_str()))
            return false; // the writer said why
    }
    return ok;
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
        PLAYER_printUsage(stderr);
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
    CTRL_InputScript input;
    if (!options.m_sInput.empty()) {
        char reason[1024];
        if (!input.load(options.m_sInput.c_str(), reason, sizeof(reason))) {
            fprintf(stderr, "vekta: %s\n", reason);
            return 2;
        }
    }
    if (options.m_asDocuments.empty())
        options.m_asDocuments.push_back(builtInDocument());
    CTRL_Interrupt::install();
    bool ok = true;
    for (const std::string &path : options.m_asDocuments)
        if (CTRL_Interrupt::signal() == 0)
            ok = play(path, options, options.m_sInput.empty() ? nullptr : &input) && ok;
    // Stopped by a signal: the shells' convention, 128 plus its number.
    if (CTRL_Interrupt::signal() != 0)
        return 128 + CTRL_Interrupt::signal();
    return ok ? 0 : 1;
}
