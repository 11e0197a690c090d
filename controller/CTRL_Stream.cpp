#include "controller/CTRL_Stream.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controller/CTRL_BeneathFolder.h"
#include "controller/CTRL_Generic.h"
#include "foundation/UTIL_Log.h"

CTRL_Stream *const CTRL_Stream::STDIN = reinterpret_cast<CTRL_Stream *>(1);
CTRL_Stream *const CTRL_Stream::STDOUT = reinterpret_cast<CTRL_Stream *>(2);
CTRL_Stream *const CTRL_Stream::STDERR = reinterpret_cast<CTRL_Stream *>(3);

bool CTRL_Stream::isStandard(const CTRL_Stream *stream)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(stream);
    return value >= 1 && value <= 3;
}

static bool isLogHandle(const CTRL_Stream *stream)
{
    return stream == CTRL_Stream::STDOUT || stream == CTRL_Stream::STDERR;
}

CTRL_Stream::CTRL_Stream()
    : m_pucMemberData(nullptr), m_sName(nullptr), m_iSize(0), m_iPosition(0), m_bOwnsMemberData(false),
      m_poOwner(nullptr), m_poFile(nullptr), m_bRealFile(false)
{
}

// The folder of the controller's document, '/' included ("" when the path
// has no folder or there is none).
static std::string documentFolder(const CTRL_Generic *controller)
{
    const char *document = controller->m_sDocumentPath;
    const char *slash = document != nullptr ? strrchr(document, '/') : nullptr;
    return slash != nullptr ? std::string(document, static_cast<size_t>(slash - document) + 1) : std::string();
}

// The name after "//" when name is a real file beside the document, else
// null.
static const char *besideDocument(const char *name)
{
    return strlen(name) > 2 && name[0] == '/' && name[1] == '/' ? name + 2 : nullptr;
}

CTRL_Stream *CTRL_Stream::open(CTRL_Generic *controller, const char *name, const char *mode)
{
    if (controller == nullptr || name == nullptr)
        return nullptr;
    if (const char *relative = besideDocument(name)) {
        FILE *file =
            CTRL_BeneathFolder::open(documentFolder(controller).c_str(), relative, mode != nullptr ? mode : "r");
        if (file == nullptr)
            return nullptr;
        CTRL_Stream *stream = new CTRL_Stream();
        stream->m_poFile = file;
        stream->m_bRealFile = true;
        return stream;
    }
    if (strlen(name) > 2 && name[0] == '.' && name[1] == '/')
        name += 2;
    if (!controller->hasMember(name))
        return nullptr;
    CTRL_Stream *stream = new CTRL_Stream();
    stream->m_sName = strdup(name);
    stream->m_poOwner = controller;
    return stream;
}

// -1 for a name that is no real file beside the document, with errno
// saying why: a member is read-only, anything else is not there.
static int refuseOtherName(CTRL_Generic *controller, const char *name)
{
    const char *member = strlen(name) > 2 && name[0] == '.' && name[1] == '/' ? name + 2 : name;
    errno = controller != nullptr && controller->hasMember(member) ? EACCES : ENOENT;
    return -1;
}

int CTRL_Stream::remove(CTRL_Generic *controller, const char *name)
{
    const char *relative = controller != nullptr ? besideDocument(name) : nullptr;
    if (relative == nullptr)
        return refuseOtherName(controller, name);
    return CTRL_BeneathFolder::remove(documentFolder(controller).c_str(), relative) ? 0 : -1;
}

int CTRL_Stream::rename(CTRL_Generic *controller, const char *from, const char *to)
{
    const char *relativeFrom = controller != nullptr ? besideDocument(from) : nullptr;
    if (relativeFrom == nullptr)
        return refuseOtherName(controller, from);
    const char *relativeTo = besideDocument(to);
    if (relativeTo == nullptr)
        return refuseOtherName(controller, to);
    return CTRL_BeneathFolder::rename(documentFolder(controller).c_str(), relativeFrom, relativeTo) ? 0 : -1;
}

void CTRL_Stream::loadData()
{
    if (m_pucMemberData != nullptr || m_poOwner == nullptr)
        return;
    unsigned char *data = nullptr;
    int size = 0;
    m_bOwnsMemberData = m_poOwner->extractMember(m_sName, &data, &size, false);
    m_pucMemberData = data;
    m_iSize = data != nullptr ? size : 0;
}

int CTRL_Stream::close(CTRL_Stream *stream)
{
    if (stream == nullptr || isStandard(stream))
        return 0;
    int result = 0;
    if (stream->m_bRealFile)
        result = fclose(stream->m_poFile);
    else if (stream->m_bOwnsMemberData)
        free(stream->m_pucMemberData);
    free(stream->m_sName);
    delete stream;
    return result;
}

size_t CTRL_Stream::read(void *buffer, size_t size, size_t count, CTRL_Stream *stream)
{
    if (stream == nullptr || isStandard(stream))
        return 0;
    if (stream->m_bRealFile)
        return fread(buffer, size, count, stream->m_poFile);
    stream->loadData();
    if (size == 0 || stream->m_iPosition >= stream->m_iSize)
        return 0;
    size_t items = static_cast<size_t>(stream->m_iSize - stream->m_iPosition) / size;
    if (items > count)
        items = count;
    if (items > 0) {
        memcpy(buffer, stream->m_pucMemberData + stream->m_iPosition, items * size);
        stream->m_iPosition += static_cast<int>(items * size);
    }
    return items;
}

size_t CTRL_Stream::write(const void *data, size_t size, size_t count, CTRL_Stream *stream)
{
    if (isLogHandle(stream)) {
        char text[1024];
        size_t total = size * count;
        if (count != 0 && total / count != size)
            total = sizeof(text) - 1;
        if (total > sizeof(text) - 1)
            total = sizeof(text) - 1;
        memcpy(text, data, total);
        text[total] = '\0';
        UTIL_warnText(text);
        return 0;
    }
    if (stream == nullptr || isStandard(stream))
        return 0;
    if (stream->m_bRealFile)
        return fwrite(data, size, count, stream->m_poFile);
    return 0;
}

int CTRL_Stream::seek(CTRL_Stream *stream, long offset, int whence)
{
    if (stream == nullptr || isStandard(stream))
        return -1;
    if (stream->m_bRealFile)
        return fseek(stream->m_poFile, offset, whence);
    stream->loadData();
    long long position = stream->m_iPosition;
    switch (whence) {
    case SEEK_SET:
        position = offset;
        break;
    case SEEK_CUR:
        position += offset;
        break;
    case SEEK_END:
        position = static_cast<long long>(stream->m_iSize) + offset;
        break;
    default:
        break;
    }
    if (position < 0)
        position = 0;
    if (position > stream->m_iSize)
        position = stream->m_iSize;
    stream->m_iPosition = static_cast<int>(position);
    return 0;
}

long CTRL_Stream::tell(CTRL_Stream *stream)
{
    if (stream == nullptr || isStandard(stream))
        return -1;
    if (stream->m_bRealFile)
        return ftell(stream->m_poFile);
    return stream->m_iPosition;
}

int CTRL_Stream::getc(CTRL_Stream *stream)
{
    if (stream == nullptr || isStandard(stream))
        return EOF;
    if (stream->m_bRealFile)
        return ::getc(stream->m_poFile);
    stream->loadData();
    if (stream->m_iPosition >= stream->m_iSize)
        return EOF;
    return stream->m_pucMemberData[stream->m_iPosition++];
}

int CTRL_Stream::ungetc(int character, CTRL_Stream *stream)
{
    // Pushing back EOF changes nothing, as with C's ungetc.
    if (character == EOF || stream == nullptr || isStandard(stream))
        return EOF;
    if (stream->m_bRealFile)
        return ::ungetc(character, stream->m_poFile);
    stream->loadData();
    if (stream->m_iPosition > 0)
        stream->m_iPosition--;
    return character;
}

int CTRL_Stream::vscanf(CTRL_Stream *stream, const char *format, va_list args)
{
    if (stream == nullptr || isStandard(stream) || !stream->m_bRealFile)
        return 0;
    return vfscanf(stream->m_poFile, format, args);
}

int CTRL_Stream::scanf(CTRL_Stream *stream, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int result = vscanf(stream, format, args);
    va_end(args);
    return result;
}

int CTRL_Stream::vprintf(CTRL_Stream *stream, const char *format, va_list args)
{
    if (isLogHandle(stream)) {
        char text[1024];
        vsnprintf(text, sizeof(text), format, args);
        UTIL_warnText(text);
        return 0;
    }
    if (stream == nullptr || isStandard(stream) || !stream->m_bRealFile)
        return 0;
    return vfprintf(stream->m_poFile, format, args);
}

int CTRL_Stream::printf(CTRL_Stream *stream, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int result = vprintf(stream, format, args);
    va_end(args);
    return result;
}

char *CTRL_Stream::gets(char *buffer, int size, CTRL_Stream *stream)
{
    if (stream == nullptr || isStandard(stream) || !stream->m_bRealFile)
        return nullptr;
    return fgets(buffer, size, stream->m_poFile);
}

int CTRL_Stream::error(CTRL_Stream *stream)
{
    if (stream == nullptr || isStandard(stream) || !stream->m_bRealFile)
        return 0;
    return ferror(stream->m_poFile);
}

int CTRL_Stream::eof(CTRL_Stream *stream)
{
    if (stream == STDIN)
        return 1; // the standard input has no data
    if (stream == nullptr || isStandard(stream))
        return 0;
    if (stream->m_bRealFile)
        return feof(stream->m_poFile);
    stream->loadData();
    return stream->m_iPosition >= stream->m_iSize;
}

void CTRL_Stream::clearError(CTRL_Stream *stream)
{
    if (stream != nullptr && !isStandard(stream) && stream->m_bRealFile)
        clearerr(stream->m_poFile);
}

CTRL_Stream *CTRL_Stream::reopen(const char *path, const char *mode, CTRL_Stream *stream)
{
    if (stream == nullptr || isStandard(stream) || !stream->m_bRealFile)
        return nullptr;
    // Only open finds files, beneath the document's folder: the file is
    // reopened in another mode under its own name, never under another.
    FILE *file = path == nullptr ? freopen(nullptr, mode, stream->m_poFile) : nullptr;
    if (file == nullptr) {
        if (path != nullptr) {
            fclose(stream->m_poFile);
            errno = EACCES;
        }
        free(stream->m_sName);
        delete stream;
        return nullptr;
    }
    stream->m_poFile = file;
    return stream;
}

int CTRL_Stream::flush(CTRL_Stream *stream)
{
    if (stream == nullptr || isStandard(stream) || !stream->m_bRealFile)
        return 0;
    return fflush(stream->m_poFile);
}

int CTRL_Stream::setBuffer(CTRL_Stream *, char *, int, size_t)
{
    return 0;
}
