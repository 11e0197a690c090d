#pragma once

#include <cstdarg>
#include <cstdio>

class CTRL_Generic;

// A file-like stream over a member of the open document (read-only, served
// from memory) or a real file beside the document ("//name"). The handle
// values 1, 2 and 3 stand for standard input, output and error; text written
// to 2 and 3 goes to the diagnostic log, one line per write.
class CTRL_Stream {
public:
    unsigned char *m_pucMemberData;
    char *m_sName;
    int m_iSize;
    int m_iPosition;
    bool m_bOwnsMemberData;
    CTRL_Generic *m_poOwner;
    FILE *m_poFile;
    bool m_bRealFile;

    static CTRL_Stream *const STDIN;
    static CTRL_Stream *const STDOUT;
    static CTRL_Stream *const STDERR;
    static bool isStandard(const CTRL_Stream *stream);
    // Whether a path after "//" names a file in the document's folder or
    // below it: not empty, not absolute, and no ".." that climbs above the
    // document's folder ("a/../b" stays, "a/../../b" does not).
    static bool staysBesideDocument(const char *path);

    // Standard file I/O, the stream in the same place as in C.
    static CTRL_Stream *open(CTRL_Generic *controller, const char *name, const char *mode);
    static int close(CTRL_Stream *stream);
    static size_t read(void *buffer, size_t size, size_t count, CTRL_Stream *stream);
    static size_t write(const void *data, size_t size, size_t count, CTRL_Stream *stream);
    static int seek(CTRL_Stream *stream, long offset, int whence);
    static long tell(CTRL_Stream *stream);
    static int getc(CTRL_Stream *stream);
    static int ungetc(int character, CTRL_Stream *stream);
    static int scanf(CTRL_Stream *stream, const char *format, ...) __attribute__((format(scanf, 2, 3)));
    static int vscanf(CTRL_Stream *stream, const char *format, va_list args);
    static int printf(CTRL_Stream *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));
    static int vprintf(CTRL_Stream *stream, const char *format, va_list args);
    static char *gets(char *buffer, int size, CTRL_Stream *stream);
    static int error(CTRL_Stream *stream);
    static int eof(CTRL_Stream *stream);
    static void clearError(CTRL_Stream *stream);
    static CTRL_Stream *reopen(const char *path, const char *mode, CTRL_Stream *stream);
    static int flush(CTRL_Stream *stream);
    static int setBuffer(CTRL_Stream *stream, char *buffer, int mode, size_t size);

private:
    CTRL_Stream();
    ~CTRL_Stream() = default;
    // Extracts the member's bytes from the document when not yet done.
    void loadData();
};
