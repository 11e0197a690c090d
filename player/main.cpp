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
#include "controller/desktop/CTRL_Interrupt.h"
#include "scripting/LMP_ScriptEngine.h"
#include "view/null/VIEW_Null.h"

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

// Plays one document; false when the error report fired. A signal stops
// the frames (and a running script) and the document closes as after its
// last frame: nothing of the stop is reported.
static bool play(const std::string &path, const PLAYER_Options &options)
{
    // The controller owns the engine and deletes it.
    CTRL_Desktop controller(new LMP_ScriptEngine());
    // Headless runs hear nothing unless they capture the sound.
    if (!controller.openSound(!options.m_bHeadless,
                              options.m_sAudioOut.empty() ? nullptr : options.m_sAudioOut.c_str()))
        return false;
    bool opened = controller.openDocument(path.c_str());
    if (!opened && !controller.m_bHalted) {
        // An empty or unreadable file fails without a report; the user must
        // still learn that nothing was played.
        fprintf(stderr, "Document %s could not be read\n%s\n", path.c_str(), CTRL_Generic::stageMessage(0));
        return false;
    }
    if (opened && !controller.m_bHalted) {
        // Until the window shell exists every run is headless, drawn through
        // the renderer that draws nothing.
        VIEW_Null renderer;
        CTRL_HeadlessHost host(&controller, &renderer, options.m_iWidth, options.m_iHeight);
        host.run(options.m_iFrames, options.m_fDeltaTime);
    }
    if (controller.m_bHalted) {
        fprintf(stderr, "%s\n", controller.m_sErrorText);
        return false;
    }
    return true;
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
    if (options.m_asDocuments.empty())
        options.m_asDocuments.push_back(builtInDocument());
    CTRL_Interrupt::install();
    bool ok = true;
    for (const std::string &path : options.m_asDocuments)
        if (CTRL_Interrupt::signal() == 0)
            ok = play(path, options) && ok;
    // Stopped by a signal: the shells' convention, 128 plus its number.
    if (CTRL_Interrupt::signal() != 0)
        return 128 + CTRL_Interrupt::signal();
    return ok ? 0 : 1;
}
