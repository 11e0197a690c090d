#include "controller/CTRL_BeneathFolder.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#if defined(__linux__) && __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#include <sys/syscall.h>
#define CTRL_KERNEL_BENEATH 1
#endif

namespace {

bool s_bKernelResolution = true;

// As many links as the kernel follows in one name.
const int kiMostLinks = 40;

// How a folder on the way is opened: only to look names up in it.
#if defined(O_PATH)
const int kiFolderAccess = O_PATH;
#elif defined(O_SEARCH)
const int kiFolderAccess = O_SEARCH;
#else
const int kiFolderAccess = O_RDONLY;
#endif
const int kiFolderFlags = kiFolderAccess | O_DIRECTORY | O_CLOEXEC;

// A descriptor closed with its holder.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_iFd(fd) {}
    ~Descriptor()
    {
        if (m_iFd >= 0)
            ::close(m_iFd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_iFd; }

private:
    int m_iFd;
};

int openFolder(const char *folder)
{
    return ::open(folder != nullptr && folder[0] != '\0' ? folder : ".", kiFolderFlags);
}

// The open flags of a C standard I/O mode; false for a mode that is none.
bool flagsOfMode(const char *mode, int &flags)
{
    switch (mode != nullptr ? mode[0] : '\0') {
    case 'r':
        flags = O_RDONLY;
        break;
    case 'w':
        flags = O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case 'a':
        flags = O_WRONLY | O_CREAT | O_APPEND;
        break;
    default:
        return false;
    }
    for (const char *c = mode + 1; *c != '\0'; c++) {
        if (*c == '+')
            flags = (flags & ~O_ACCMODE) | O_RDWR;
        else if (*c == 'x' && (flags & O_CREAT) != 0)
            flags |= O_EXCL;
    }
    flags |= O_CLOEXEC;
    return true;
}

// A name walked one component at a time from the folder: the folders
// entered so far are held open (the first is the folder itself, not owned),
// ".." goes back to the one before, and a link is replaced by its target.
class Walk {
public:
    Walk(int folder, const char *name) : m_sRest(name), m_iLinks(0) { m_aiFolders.push_back(folder); }
    ~Walk()
    {
        for (size_t i = 1; i < m_aiFolders.size(); i++)
            ::close(m_aiFolders[i]);
    }
    Walk(const Walk &) = delete;
    Walk &operator=(const Walk &) = delete;

    // The folder reached.
    int folder() const { return m_aiFolders.back(); }

    // Enters every component but the last, which is handed back in last
    // ("" after a final '/').
    bool toLast(std::string &last)
    {
        for (;;) {
            size_t slash = m_sRest.find('/');
            if (slash == std::string::npos) {
                last.swap(m_sRest);
                m_sRest.clear();
                return true;
            }
            std::string step = m_sRest.substr(0, slash);
            m_sRest.erase(0, slash + 1);
            if (!enter(step))
                return false;
        }
    }

    // Back to the folder before; never above the first.
    bool up()
    {
        if (m_aiFolders.size() == 1) {
            errno = EACCES;
            return false;
        }
        ::close(m_aiFolders.back());
        m_aiFolders.pop_back();
        return true;
    }

    // When name, in the folder reached, is a link: its target becomes what
    // is left to walk (followed by the rest). Otherwise errno = failure.
    bool follow(const std::string &name, int failure)
    {
        char target[4096];
        ssize_t length = readlinkat(folder(), name.c_str(), target, sizeof(target));
        if (length < 0) {
            errno = failure;
            return false;
        }
        if (static_cast<size_t>(length) >= sizeof(target)) {
            errno = ENAMETOOLONG;
            return false;
        }
        if (++m_iLinks > kiMostLinks) {
            errno = ELOOP;
            return false;
        }
        if (length == 0) {
            errno = ENOENT;
            return false;
        }
        if (target[0] == '/') {
            errno = EACCES;
            return false;
        }
        std::string rest(target, static_cast<size_t>(length));
        if (!m_sRest.empty())
            rest += "/" + m_sRest;
        m_sRest.swap(rest);
        return true;
    }

private:
    bool enter(const std::string &step)
    {
        if (step.empty() || step == ".")
            return true;
        if (step == "..")
            return up();
        int fd = openat(folder(), step.c_str(), kiFolderFlags | O_NOFOLLOW);
        if (fd >= 0) {
            m_aiFolders.push_back(fd);
            return true;
        }
        if (errno != ELOOP && errno != ENOTDIR && errno != EMLINK)
            return false;
        // Whatever comes after it, the step is a folder: the rest keeps its
        // '/' after the link's target.
        bool folderFollows = m_sRest.empty();
        if (!follow(step, errno))
            return false;
        if (folderFollows)
            m_sRest += "/";
        return true;
    }

    std::vector<int> m_aiFolders;
    std::string m_sRest; // the components not yet walked
    int m_iLinks;
};

int openByWalk(int folder, const char *name, int flags)
{
    Walk walk(folder, name);
    std::string last;
    for (;;) {
        if (!walk.toLast(last))
            return -1;
        if (last == "..") {
            if (!walk.up())
                return -1;
            last = ".";
        }
        if (last.empty() || last == ".")
            return openat(walk.folder(), ".", flags);
        int fd = openat(walk.folder(), last.c_str(), flags | O_NOFOLLOW, 0666);
        if (fd >= 0 || (errno != ELOOP && errno != EMLINK))
            return fd;
        if (!walk.follow(last, errno))
            return -1;
    }
}

// The folder that a name's last component lies in, opened under folder (the
// part of the name before that component, "" for folder itself).
int openParentByWalk(int folder, const std::string &parent)
{
    Walk walk(folder, (parent + "/").c_str());
    std::string last;
    if (!walk.toLast(last))
        return -1;
    return fcntl(walk.folder(), F_DUPFD_CLOEXEC, 0);
}

#ifdef CTRL_KERNEL_BENEATH
// The kernel's answer for a name under folder, or -1 with errno; false when
// the kernel cannot resolve it (too old, or the call is filtered).
bool openByKernel(int folder, const char *name, int flags, int &fd)
{
    struct open_how how;
    memset(&how, 0, sizeof(how));
    how.flags = static_cast<unsigned long long>(flags);
    how.mode = (flags & O_CREAT) != 0 ? 0666 : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    // A folder renamed while the name is looked up makes the kernel give
    // up (EAGAIN); a few tries, then the walk.
    for (int attempt = 0; attempt < 4; attempt++) {
        fd = static_cast<int>(syscall(SYS_openat2, folder, name, &how, sizeof(how)));
        if (fd >= 0)
            return true;
        if (errno == ENOSYS || errno == EPERM || errno == E2BIG)
            return false;
        if (errno == EXDEV) {
            // The name leads out of the folder.
            errno = EACCES;
            return true;
        }
        if (errno != EAGAIN)
            return true;
    }
    return false;
}
#endif

int openBeneath(int folder, const char *name, int flags)
{
#ifdef CTRL_KERNEL_BENEATH
    int fd = -1;
    if (s_bKernelResolution && openByKernel(folder, name, flags, fd))
        return fd;
#endif
    return openByWalk(folder, name, flags);
}

int openParentBeneath(int folder, const std::string &parent)
{
    if (parent.empty())
        return fcntl(folder, F_DUPFD_CLOEXEC, 0);
#ifdef CTRL_KERNEL_BENEATH
    int fd = -1;
    if (s_bKernelResolution && openByKernel(folder, parent.c_str(), kiFolderFlags, fd))
        return fd;
#endif
    return openParentByWalk(folder, parent);
}

// A relative name; an empty or absolute one sets errno.
bool isRelative(const char *name)
{
    if (name == nullptr || name[0] == '\0') {
        errno = ENOENT;
        return false;
    }
    if (name[0] == '/') {
        errno = EACCES;
        return false;
    }
    return true;
}

// A name split into the folder part and the entry of its last component
// (trailing '/' left out); false, with errno set, when there is no such
// entry to remove or rename ("", ".", "..").
bool splitEntry(const char *name, std::string &parent, std::string &entry)
{
    if (!isRelative(name))
        return false;
    std::string whole(name);
    while (whole.size() > 1 && whole.back() == '/')
        whole.pop_back();
    size_t slash = whole.rfind('/');
    parent = slash == std::string::npos ? std::string() : whole.substr(0, slash);
    entry = slash == std::string::npos ? whole : whole.substr(slash + 1);
    if (entry.empty() || entry == "." || entry == "..") {
        errno = EINVAL;
        return false;
    }
    return true;
}

} // namespace

void CTRL_BeneathFolder::setKernelResolution(bool kernel)
{
    s_bKernelResolution = kernel;
}

FILE *CTRL_BeneathFolder::open(const char *folder, const char *name, const char *mode)
{
    int flags = 0;
    if (!isRelative(name))
        return nullptr;
    if (!flagsOfMode(mode, flags)) {
        errno = EINVAL;
        return nullptr;
    }
    Descriptor root(openFolder(folder));
    if (root.get() < 0)
        return nullptr;
    int fd = openBeneath(root.get(), name, flags);
    if (fd < 0)
        return nullptr;
    FILE *file = fdopen(fd, mode);
    if (file == nullptr) {
        int failure = errno;
        ::close(fd);
        errno = failure;
    }
    return file;
}

bool CTRL_BeneathFolder::remove(const char *folder, const char *name)
{
    std::string parent, entry;
    if (!splitEntry(name, parent, entry))
        return false;
    Descriptor root(openFolder(folder));
    if (root.get() < 0)
        return false;
    Descriptor holder(openParentBeneath(root.get(), parent));
    if (holder.get() < 0)
        return false;
    // As C's remove: a file, else an empty folder.
    if (unlinkat(holder.get(), entry.c_str(), 0) == 0)
        return true;
    if (errno != EISDIR && errno != EPERM)
        return false;
    int failure = errno;
    if (unlinkat(holder.get(), entry.c_str(), AT_REMOVEDIR) == 0)
        return true;
    if (errno == ENOTDIR)
        errno = failure;
    return false;
}

bool CTRL_BeneathFolder::rename(const char *folder, const char *from, const char *to)
{
    std::string fromParent, fromEntry, toParent, toEntry;
    if (!splitEntry(from, fromParent, fromEntry) || !splitEntry(to, toParent, toEntry))
        return false;
    Descriptor root(openFolder(folder));
    if (root.get() < 0)
        return false;
    Descriptor fromHolder(openParentBeneath(root.get(), fromParent));
    if (fromHolder.get() < 0)
        return false;
    Descriptor toHolder(openParentBeneath(root.get(), toParent));
    if (toHolder.get() < 0)
        return false;
    return renameat(fromHolder.get(), fromEntry.c_str(), toHolder.get(), toEntry.c_str()) == 0;
}
