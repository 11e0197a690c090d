#pragma once

#include <climits>
#include <cstdio>

// A file written for the user (a screenshot, a sound capture), so that a
// failure never removes or spoils what its name held before:
// - a name that holds a regular file, or nothing yet, is written as a new
//   file in the same folder, which commit renames onto the name once it is
//   complete; a failure removes only that new file. A symbolic link is
//   followed to the name it leads to, and that name is replaced: the link
//   stays, and leads to the new file. A file that its user may not write
//   is refused, as opening it would be.
// - a name that holds anything else (a device such as /dev/stdout, a pipe,
//   or a link to one) is written straight into, and nothing is removed.
class UTIL_OutputFile {
public:
    UTIL_OutputFile();
    // Abandons a file that was not committed.
    ~UTIL_OutputFile();
    UTIL_OutputFile(const UTIL_OutputFile &) = delete;
    UTIL_OutputFile &operator=(const UTIL_OutputFile &) = delete;

    // Opens path for writing; false, with the reason in error(), when it
    // cannot be (nothing is touched then).
    bool open(const char *path);
    // The stream to write into; null unless open.
    FILE *file() const { return m_poFile; }
    // Completes the file: flushes and closes it and renames the new file
    // onto the name. False, with the reason in error(), when any of that
    // failed; the new file is then removed and the name keeps what it held.
    bool commit();
    // Closes the file and removes the new file; a name written straight
    // into keeps what it was given.
    void abandon();
    // Whether the name is written straight into (no new file beside it).
    bool writesStraight() const { return m_bStraight; }
    // The file being written: the new file beside the name, or the name
    // itself when written straight into.
    const char *writingPath() const { return m_acWriting; }
    // Why the last open or commit failed.
    const char *error() const { return m_acError; }

    // Whether two names stand for one file: the same text, one existing
    // file (the same device and inode), or, where neither exists yet, the
    // same name in the same folder once symbolic links are followed.
    static bool samePlace(const char *a, const char *b);

private:
    // Records the reason of a failure from errno; false.
    bool fail(const char *what);

    FILE *m_poFile;
    bool m_bStraight;
    char m_acTarget[PATH_MAX];  // the name the new file is renamed onto
    char m_acWriting[PATH_MAX]; // the file written
    char m_acError[256];
};
