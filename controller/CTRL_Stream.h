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

    // Standard file I/O, the stream in the same place as in C.
    // A "//" name is a real file found beneath the document's folder, never
    // outside it (CTRL_BeneathFolder: no absolute name, no ".." above the
    // folder, no link leading out).
    static CTRL_Stream *open(CTRL_Generic *controller, const char *name, const char *mode);
    // C's remove and rename for "//" names, found as open finds them; a link
    // is removed or moved itself. 0, or -1 with errno set: EACCES for a
    // member of the document (read-only), ENOENT for any other name.
    static int remove(CTRL_Generic *controller, const char *name);
    static int rename(CTRL_Generic *controller, const char *from, const char *to);
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
    // Another mode for a real file (path null); any path is refused, and
    // the stream is then closed and freed as on a failure.
    static CTRL_Stream *reopen(const char *path, const char *mode, CTRL_Stream *stream);
    static int flush(CTRL_Stream *stream);
    static int setBuffer(CTRL_Stream *stream, char *buffer, int mode, size_t size);

private:
    CTRL_Stream();
    ~CTRL_Stream() = default;
    // Extracts the member's bytes from the document when not yet done.
    void loadData();
};
