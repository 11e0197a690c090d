#pragma once

#include <cstdio>

// Files reached by names relative to a folder without ever leaving it. Every
// component of a name is resolved inside the folder: ".." may not climb
// above it, and a symbolic link is followed only when its target is written
// relative to the link and stays in the folder; an absolute target, or one
// that leads out, is refused (EACCES). Where the kernel offers it the kernel
// resolves the name under that rule (openat2 with RESOLVE_BENEATH); else the
// name is walked one component at a time, each opened without following a
// link. Names must be relative; empty components and "." are steps that go
// nowhere. Failures set errno.
class CTRL_BeneathFolder {
public:
    // The file named under folder (a directory path, "" for the working
    // directory), opened with a C standard I/O mode (r, w or a, then + and
    // b or x in any order); null on failure. A link at the end of the name
    // is followed (creating the file it names, when that lies in the
    // folder).
    static FILE *open(const char *folder, const char *name, const char *mode);
    // Removes the file or empty folder that name's last component is; a
    // link there is removed itself, not what it leads to.
    static bool remove(const char *folder, const char *name);
    // Renames the entry of from's last component to to's, both under
    // folder; a link is moved itself.
    static bool rename(const char *folder, const char *from, const char *to);

    // Whether names go to the kernel where it resolves them (the default);
    // with false every name is walked. Both ways give the same answers.
    static void setKernelResolution(bool kernel);
};
