#include "foundation/UTIL_OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The most symbolic links followed from one name, as the kernel allows.
const int MAX_LINKS = 40;
// The longest part of the name's last component kept in the new file's
// name, so that the new name stays within a component's length.
const int MAX_KEPT = 200;

// Copies text into a buffer of size bytes; false (ENAMETOOLONG) when it
// does not fit.
bool copyName(char *out, size_t size, const char *text)
{
    size_t length = strlen(text);
    if (length >= size) {
        errno = ENAMETOOLONG;
        return false;
    }
    memcpy(out, text, length + 1);
    return true;
}

// Splits name into its folder (with its last slash, empty for the current
// folder) and its last component.
void split(const char *name, char *folder, size_t size, const char **last)
{
    const char *slash = strrchr(name, '/');
    size_t length = slash != nullptr ? static_cast<size_t>(slash - name) + 1 : 0;
    if (length >= size)
        length = size - 1;
    memcpy(folder, name, length);
    folder[length] = '\0';
    *last = name + length;
}

// The name that path finally stands for: symbolic links followed, each
// relative one from its own folder, to a name that is no link (it may not
// exist yet). False, with errno, when a link cannot be read, the links go
// round or a name is too long.
bool finalName(const char *path, char *name, size_t size)
{
    if (!copyName(name, size, path))
        return false;
    for (int hops = 0; hops <= MAX_LINKS; hops++) {
        struct stat info;
        if (lstat(name, &info) != 0)
            return errno == ENOENT;
        if (!S_ISLNK(info.st_mode))
            return true;
        char link[PATH_MAX];
        ssize_t n = readlink(name, link, sizeof(link) - 1);
        if (n < 0)
            return false;
        link[n] = '\0';
        if (link[0] == '/') {
            if (!copyName(name, size, link))
                return false;
            continue;
        }
        char folder[PATH_MAX];
        const char *last = nullptr;
        split(name, folder, sizeof(folder), &last);
        if (strlen(folder) + static_cast<size_t>(n) >= size) {
            errno = ENAMETOOLONG;
            return false;
        }
        strcpy(name, folder);
        strcat(name, link);
    }
    errno = ELOOP;
    return false;
}

// Opens a new file in the folder of target, named after it, with mode (less
// the umask); -1 with errno when none can be made.
int createBeside(const char *target, char *name, size_t size, mode_t mode)
{
    static unsigned s_uiCounter = 0;
    char folder[PATH_MAX];
    const char *last = nullptr;
    split(target, folder, sizeof(folder), &last);
    for (int attempt = 0; attempt < 100; attempt++) {
        int length =
            snprintf(name, size, "%s.%.*s.%ld-%u", folder, MAX_KEPT, last, static_cast<long>(getpid()), s_uiCounter++);
        if (length < 0 || static_cast<size_t>(length) >= size) {
            errno = ENAMETOOLONG;
            return -1;
        }
        int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

UTIL_OutputFile::UTIL_OutputFile() : m_poFile(nullptr), m_bStraight(false)
{
    m_acTarget[0] = m_acWriting[0] = m_acError[0] = '\0';
}

UTIL_OutputFile::~UTIL_OutputFile()
{
    abandon();
}

bool UTIL_OutputFile::fail(const char *what)
{
    snprintf(m_acError, sizeof(m_acError), "%s%s", what, strerror(errno));
    return false;
}

bool UTIL_OutputFile::open(const char *path)
{
    abandon();
    m_acTarget[0] = m_acWriting[0] = m_acError[0] = '\0';
    m_bStraight = false;
    if (path == nullptr || path[0] == '\0') {
        errno = ENOENT;
        return fail("");
    }
    struct stat info;
    bool exists = stat(path, &info) == 0;
    if (!exists && errno != ENOENT)
        return fail("");
    int fd = -1;
    if (exists && S_ISREG(info.st_mode)) {
        // The file is replaced under the name the links lead to; a file
        // reached otherwise (through a descriptor of a file since removed)
        // has no name to replace, and is written straight into.
        struct stat named;
        m_bStraight = !finalName(path, m_acTarget, sizeof(m_acTarget)) || stat(m_acTarget, &named) != 0 ||
                      named.st_dev != info.st_dev || named.st_ino != info.st_ino;
        // Only a file its user may write is replaced, as only such a file
        // opens for writing: the folder's permission is not the file's.
        if (!m_bStraight && faccessat(AT_FDCWD, m_acTarget, W_OK, AT_EACCESS) != 0)
            return fail("");
    } else if (exists) {
        m_bStraight = true;
    } else if (!finalName(path, m_acTarget, sizeof(m_acTarget))) {
        return fail("");
    }
    if (m_bStraight) {
        if (!copyName(m_acWriting, sizeof(m_acWriting), path))
            return fail("");
        fd = ::open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return fail("");
    } else {
        // A new name gets 0666 less the umask, as creating it would give.
        // A replacement is its owner's alone until it has the permissions
        // of the file it replaces: nobody else may open it before then.
        fd = createBeside(m_acTarget, m_acWriting, sizeof(m_acWriting), exists ? 0600 : 0666);
        if (fd < 0) {
            m_acWriting[0] = '\0';
            return fail("no new file can be made in its folder: ");
        }
        // The replacement keeps the permissions of the file it replaces.
        if (exists)
            fchmod(fd, info.st_mode & 07777);
    }
    m_poFile = fdopen(fd, "wb");
    if (m_poFile == nullptr) {
        fail("");
        close(fd);
        if (!m_bStraight)
            unlink(m_acWriting);
        return false;
    }
    return true;
}

bool UTIL_OutputFile::commit()
{
    if (m_poFile == nullptr) {
        errno = EBADF;
        return fail("");
    }
    errno = 0;
    bool ok = fflush(m_poFile) == 0 && ferror(m_poFile) == 0;
    if (!ok && errno == 0)
        errno = EIO;
    // What replaces a file is on the disk before it takes the name.
    if (ok && !m_bStraight && fsync(fileno(m_poFile)) != 0)
        ok = false;
    if (!ok)
        fail("");
    if (fclose(m_poFile) != 0 && ok)
        ok = fail("");
    m_poFile = nullptr;
    if (!m_bStraight) {
        if (ok && rename(m_acWriting, m_acTarget) != 0)
            ok = fail("");
        if (!ok)
            unlink(m_acWriting);
    }
    return ok;
}

void UTIL_OutputFile::abandon()
{
    if (m_poFile == nullptr)
        return;
    fclose(m_poFile);
    m_poFile = nullptr;
    if (!m_bStraight)
        unlink(m_acWriting);
}

bool UTIL_OutputFile::samePlace(const char *a, const char *b)
{
    if (a == nullptr || b == nullptr)
        return false;
    if (strcmp(a, b) == 0)
        return true;
    struct stat infoA, infoB;
    bool existsA = stat(a, &infoA) == 0, existsB = stat(b, &infoB) == 0;
    if (existsA || existsB)
        return existsA && existsB && infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    char nameA[PATH_MAX], nameB[PATH_MAX];
    if (!finalName(a, nameA, sizeof(nameA)) || !finalName(b, nameB, sizeof(nameB)))
        return false;
    char folderA[PATH_MAX], folderB[PATH_MAX];
    const char *lastA = nullptr, *lastB = nullptr;
    split(nameA, folderA, sizeof(folderA), &lastA);
    split(nameB, folderB, sizeof(folderB), &lastB);
    if (strcmp(lastA, lastB) != 0)
        return false;
    if (strcmp(folderA, folderB) == 0)
        return true;
    // The folders by what they are: "./" and "" are one.
    struct stat dirA, dirB;
    return stat(folderA[0] != '\0' ? folderA : ".", &dirA) == 0 &&
           stat(folderB[0] != '\0' ? folderB : ".", &dirB) == 0 && dirA.st_dev == dirB.st_dev &&
           dirA.st_ino == dirB.st_ino;
}
