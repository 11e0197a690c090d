#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "PLAYER_Options.h"

static bool parseLong(const char *text, long &value)
{
    char *end = nullptr;
    value = strtol(text, &end, 10);
    return end != text && *end == '\0';
}

static bool parseDouble(const char *text, double &value)
{
    char *end = nullptr;
    value = strtod(text, &end);
    return end != text && *end == '\0';
}

bool PLAYER_parseOptions(int argc, char **argv, PLAYER_Options &options, std::string &error)
{
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            options.m_bHelp = true;
        } else if (strcmp(arg, "--version") == 0) {
            options.m_bVersion = true;
        } else if (strcmp(arg, "--headless") == 0) {
            options.m_bHeadless = true;
        } else if (strcmp(arg, "--frames") == 0) {
            if (value == nullptr || !parseLong(value, options.m_iFrames) || options.m_iFrames < 0) {
                error = "--frames needs a whole number of frames";
                return false;
            }
            i++;
        } else if (strcmp(arg, "--dt") == 0) {
            if (value == nullptr || !parseDouble(value, options.m_fDeltaTime) || !(options.m_fDeltaTime > 0) ||
                options.m_fDeltaTime > 10) {
                error = "--dt needs a time step in seconds, above 0";
                return false;
            }
            i++;
        } else if (strcmp(arg, "--size") == 0) {
            int w = 0, h = 0;
            char extra;
            if (value == nullptr || sscanf(value, "%dx%d%c", &w, &h, &extra) != 2 || w <= 0 || h <= 0 || w > 16384 ||
                h > 16384) {
                error = "--size needs WIDTHxHEIGHT in pixels";
                return false;
            }
            options.m_iWidth = w;
            options.m_iHeight = h;
            i++;
        } else if (strcmp(arg, "--audio-out") == 0) {
            if (value == nullptr || value[0] == '\0') {
                error = "--audio-out needs the name of a WAV file";
                return false;
            }
            options.m_sAudioOut = value;
            i++;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            error = std::string("unknown option ") + arg;
            return false;
        } else {
            options.m_asDocuments.push_back(arg);
        }
    }
    if (!options.m_sAudioOut.empty() && options.m_asDocuments.size() > 1) {
        error = "--audio-out captures the sound of one document";
        return false;
    }
    return true;
}

void PLAYER_printUsage(FILE *out)
{
    fprintf(out, "usage: vekta [--headless] [--frames N] [--dt SECONDS] [--size WxH] [--audio-out FILE.wav]\n"
                 "             [DOCUMENT...]\n"
                 "\n"
                 "Plays interactive 3D documents; with none, plays the built-in one.\n"
                 "  --headless    run without a window\n"
                 "  --frames N    run N frames, then stop\n"
                 "  --dt SECONDS  fixed time step of each frame (default: real time)\n"
                 "  --size WxH    view size in pixels (default 800x600)\n"
                 "  --audio-out FILE.wav\n"
                 "                write the sound to a WAV file instead of the audio device,\n"
                 "                paced by the frames' time steps\n"
                 "  --version     print the player version\n"
                 "  --help        print this help\n");
}
