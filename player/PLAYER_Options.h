#pragma once

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
    std::string m_sAudioOut; // WAV file that captures the sound; empty: none
    std::vector<std::string> m_asDocuments;
};

// Parses argv; false with a message on a usage error.
bool PLAYER_parseOptions(int argc, char **argv, PLAYER_Options &options, std::string &error);
void PLAYER_printUsage(FILE *out);
