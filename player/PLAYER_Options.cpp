#include "PLAYER_Options.h"

#include <climits>
#include <cstring>

#include "controller/desktop/CTRL_CloseGuard.h"
#include "controller/desktop/CTRL_CommandNumbers.h"
#include "controller/desktop/CTRL_LanguageChooser.h"
#include "foundation/UTIL_OutputFile.h"
#include "scripting/LMP_ScriptEngine.h"

namespace {

enum OptionId { HEADLESS, FRAMES, DT, SIZE, LANGUAGE, SCREENSHOT, AUDIO_OUT, INPUT, HELP, VERSION };

struct Option {
    OptionId m_eId;
    const char *m_sName;  // the long name
    const char *m_sShort; // a one-letter name, or null
    const char *m_sValue; // the value's name, or null for a flag
    const char *m_sHelp;  // its lines in the help
};

// The help is made from this table: every option the parser knows is in
// it.
const Option OPTIONS[] = {
    {HEADLESS, "--headless", nullptr, nullptr,
     "draw off-screen, without a window or display;\n"
     "several documents then play one after another"},
    {FRAMES, "--frames", nullptr, "N", "run N frames, then stop (a window closes\nitself)"},
    {DT, "--dt", nullptr, "SECONDS", "fixed time step of each frame, above 0 and at\nmost 10 (default: real time)"},
    {SIZE, "--size", nullptr, "WxH",
     "window or off-screen size in pixels, each side\n"
     "1 to 16384 (default 800x600)"},
    {LANGUAGE, "--language", nullptr, "CODE",
     "the language documents are told: FR, DE, IT,\n"
     "ES, RU, ZH or US (default: the locale's)"},
    {SCREENSHOT, "--screenshot", nullptr, "FILE.png", "after the last frame, write what it drew (one\ndocument)"},
    {AUDIO_OUT, "--audio-out", nullptr, "FILE.wav",
     "write the sound to a WAV file instead of the\n"
     "audio device, paced by the frames' time steps\n"
     "(one document; not the screenshot's file)"},
    {INPUT, "--input", nullptr, "FILE",
     "input events before given frames, one a line:\n"
     "FRAME VERB ARGUMENTS (keyDown CODE, mouseDown\n"
     "X Y, ...); every document gets them"},
    {HELP, "--help", "-h", nullptr, "print this help and exit"},
    {VERSION, "--version", nullptr, nullptr, "print the player's version and exit"},
};

// Reads WIDTHxHEIGHT, each side a whole number of pixels from 1 to 16384.
bool parseSize(const char *text, int &width, int &height)
{
    const char *x = text != nullptr ? strchr(text, 'x') : nullptr;
    char first[16];
    if (x == nullptr || static_cast<size_t>(x - text) >= sizeof(first))
        return false;
    memcpy(first, text, static_cast<size_t>(x - text));
    first[x - text] = '\0';
    long w = 0, h = 0;
    if (!CTRL_readWhole(first, 1, 16384, w) || !CTRL_readWhole(x + 1, 1, 16384, h))
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

// The option an argument names (with its value when written --name=VALUE),
// or null.
const Option *find(const char *arg, const char **inlineValue)
{
    *inlineValue = nullptr;
    for (const Option &option : OPTIONS) {
        size_t length = strlen(option.m_sName);
        if (strncmp(arg, option.m_sName, length) == 0) {
            if (arg[length] == '\0')
                return &option;
            if (arg[length] == '=' && option.m_sValue != nullptr) {
                *inlineValue = arg + length + 1;
                return &option;
            }
        }
        if (option.m_sShort != nullptr && strcmp(arg, option.m_sShort) == 0)
            return &option;
    }
    return nullptr;
}

// Takes the option's value into options; false with the message.
bool apply(const Option &option, const char *value, PLAYER_Options &options, std::string &error)
{
    switch (option.m_eId) {
    case HEADLESS:
        options.m_bHeadless = true;
        return true;
    case HELP:
        options.m_bHelp = true;
        return true;
    case VERSION:
        options.m_bVersion = true;
        return true;
    case FRAMES:
        if (!CTRL_readWhole(value, 0, LONG_MAX, options.m_iFrames)) {
            error = "--frames needs a whole number of frames";
            return false;
        }
        return true;
    case DT:
        if (!CTRL_readNumber(value, options.m_fDeltaTime) || !(options.m_fDeltaTime > 0) || options.m_fDeltaTime > 10) {
            error = "--dt needs a time step in seconds, above 0 and at most 10";
            return false;
        }
        return true;
    case SIZE:
        if (!parseSize(value, options.m_iWidth, options.m_iHeight)) {
            error = "--size needs WIDTHxHEIGHT in pixels, each side 1 to 16384";
            return false;
        }
        return true;
    case LANGUAGE: {
        // The codes the window's language chooser offers, in either case.
        int choice = CTRL_LanguageChooser::choiceOf(value);
        if (choice >= 0) {
            options.m_sLanguage = CTRL_LanguageChooser::code(choice);
            return true;
        }
        error = "--language needs one of FR, DE, IT, ES, RU, ZH and US";
        return false;
    }
    case AUDIO_OUT:
        if (value == nullptr || value[0] == '\0') {
            error = "--audio-out needs the name of a WAV file";
            return false;
        }
        options.m_sAudioOut = value;
        return true;
    case INPUT:
        if (value == nullptr || value[0] == '\0') {
            error = "--input needs the name of a file of input events";
            return false;
        }
        options.m_sInput = value;
        return true;
    case SCREENSHOT:
        if (value == nullptr || value[0] == '\0') {
            error = "--screenshot needs the name of a PNG file";
            return false;
        }
        options.m_sScreenshot = value;
        return true;
    }
    return false;
}

} // namespace

bool PLAYER_parseOptions(int argc, char **argv, PLAYER_Options &options, std::string &error)
{
    bool onlyDocuments = false;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (onlyDocuments || arg[0] != '-' || arg[1] == '\0') {
            options.m_asDocuments.push_back(arg);
            continue;
        }
        if (strcmp(arg, "--") == 0) {
            onlyDocuments = true;
            continue;
        }
        const char *value = nullptr;
        const Option *option = find(arg, &value);
        if (option == nullptr) {
            error = std::string("unknown option ") + arg;
            return false;
        }
        if (option->m_sValue != nullptr && value == nullptr && i + 1 < argc)
            value = argv[++i];
        if (!apply(*option, value, options, error))
            return false;
    }
    if (!options.m_sAudioOut.empty() && options.m_asDocuments.size() > 1) {
        error = "--audio-out captures the sound of one document";
        return false;
    }
    if (!options.m_sScreenshot.empty() && options.m_asDocuments.size() > 1) {
        error = "--screenshot takes one document";
        return false;
    }
    // One file cannot hold both: the picture would replace the sound.
    if (!options.m_sAudioOut.empty() && !options.m_sScreenshot.empty() &&
        UTIL_OutputFile::samePlace(options.m_sAudioOut.c_str(), options.m_sScreenshot.c_str())) {
        error = "--audio-out and --screenshot name the same file";
        return false;
    }
    return true;
}

void PLAYER_printUsage(FILE *out)
{
    fprintf(out, "Usage: vekta [OPTION...] [DOCUMENT...]\n"
                 "Plays interactive 3D documents (.vk files), each in a window of its own; with\n"
                 "none, plays the built-in document.\n"
                 "\n");
    for (const Option &option : OPTIONS) {
        std::string name = option.m_sShort != nullptr ? std::string(option.m_sShort) + ", " : "    ";
        name += option.m_sName;
        if (option.m_sValue != nullptr)
            name = name + " " + option.m_sValue;
        // The help's lines, the first beside the name, the others under it.
        const char *line = option.m_sHelp;
        bool firstLine = true;
        while (*line != '\0') {
            const char *end = strchr(line, '\n');
            int length = static_cast<int>(end != nullptr ? end - line : strlen(line));
            fprintf(out, "  %-27s%.*s\n", firstLine ? name.c_str() : "", length, line);
            firstLine = false;
            line += length + (end != nullptr ? 1 : 0);
        }
    }
    fprintf(out, "\n"
                 "Numbers are written in decimal: N and the sides of WxH in digits, SECONDS\n"
                 "also with a point or an exponent (0.02, 2e-2). A file that --screenshot or\n"
                 "--audio-out names takes the new picture or sound only once it is complete: a\n"
                 "failure leaves it as it was; a device or a pipe is written straight into\n"
                 "(not a sound capture into a pipe: its header is rewritten as it grows).\n"
                 "\n"
                 "In a window, Ctrl+L shows the language chooser (a choice opens the document\n"
                 "again in that language), and a file dropped on the window opens in a new one.\n"
                 "The player ends when its last window closes.\n"
                 "\n");
    fprintf(out,
            "A document's scripts may hold at most %g GiB, or half the process's memory limit\n"
            "(ulimit -v or -d) where that is less: documents need far less (the built-in one\n"
            "under 1 MiB), and the cap stops a script that grows without end with Lua's \"not\n"
            "enough memory\" error while the player still has the memory to show it. After\n"
            "the last frame the scripts' finalizers run; a close that lasts more than %g\n"
            "seconds ends the player (status 1), and a signal during it ends it at once.\n"
            "\n",
            static_cast<double>(LMP_ScriptEngine::DEFAULT_MEMORY_LIMIT) / (1 << 30), CTRL_CloseGuard::LIMIT_SECONDS);
    fprintf(out, "Exit status: 0 when every document played without an error, 1 when one failed\n"
                 "(or no window, screenshot or sound capture could be made), 2 on a usage error,\n"
                 "128 + N when stopped by signal N (130 for Ctrl-C).\n");
}

void PLAYER_printTryHelp(FILE *out)
{
    fprintf(out, "Try 'vekta --help' for more information.\n");
}
