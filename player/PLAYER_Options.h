#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The command line of the player.
struct PLAYER_Options {
    bool m_bHeadless = false;
    bool m_bHelp = false;
    bool m_bVersion = false;
    long m_iFrames = -1;     // -1: until the document is closed
    double m_fDeltaTime = 0; // 0: real time
    int m_iWidth = 800;
    int m_iHeight = 600;
    std::string m_sLanguage;   // "FR" ... "US"; empty: the user's locale
    std::string m_sAudioOut;   // WAV file that captures the sound; empty: none
    std::string m_sScreenshot; // PNG file for what the last frame drew; empty: none
    std::string m_sInput;      // text file of input events for the frames; empty: none
    std::vector<std::string> m_asDocuments;
};

// Parses argv: options (also as --name=VALUE) and documents, everything
// after "--" being a document. False with a message on a usage error.
bool PLAYER_parseOptions(int argc, char **argv, PLAYER_Options &options, std::string &error);
// The help: the usage line, every option the parser knows, the window's
// keys and the exit statuses.
void PLAYER_printUsage(FILE *out);
// The line that points to the help after a usage error.
void PLAYER_printTryHelp(FILE *out);
