#include "controller/desktop/CTRL_InputScript.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "controller/CTRL_Generic.h"
#include "controller/desktop/CTRL_CommandNumbers.h"

namespace {

// The longest line read; longer ones are refused.
const int MAX_LINE = 1024;
const int MAX_TOKENS = 8;
// The largest file read.
const int MAX_FILE_BYTES = 1 << 30;

struct VerbSpec {
    const char *m_sName;
    int m_iVerb;
    int m_iNumbers; // numbers after the verb (X Y, X Y AMOUNT, or CODE)
    bool m_bCode;   // the one number is a key code
    int m_iFlags;   // 0 none, 1 shift, 2 shift and control
    const char *m_sArguments;
};

const VerbSpec VERBS[] = {
    {"keyDown", CTRL_InputScript::KEY_DOWN, 1, true, 0, "CODE"},
    {"keyUp", CTRL_InputScript::KEY_UP, 1, true, 0, "CODE"},
    {"mouseDown", CTRL_InputScript::MOUSE_DOWN, 2, false, 0, "X Y"},
    {"mouseUp", CTRL_InputScript::MOUSE_UP, 2, false, 0, "X Y"},
    {"rightMouseDown", CTRL_InputScript::RIGHT_MOUSE_DOWN, 2, false, 0, "X Y"},
    {"rightMouseUp", CTRL_InputScript::RIGHT_MOUSE_UP, 2, false, 0, "X Y"},
    {"mouseMove", CTRL_InputScript::MOUSE_MOVE, 2, false, 2, "X Y [shift] [control]"},
    {"mouseWheel", CTRL_InputScript::MOUSE_WHEEL, 3, false, 1, "X Y AMOUNT [shift]"},
};

// Reads one line (its comment already cut off) into event; false with the reason,
// true with blank set for a line without an event.
bool readLine(char *line, CTRL_InputScript::Event &event, bool &blank, char *reason, int reasonSize)
{
    char *tokens[MAX_TOKENS + 1];
    int n = 0;
    for (char *token = strtok(line, " \t\r\v\f"); token != nullptr; token = strtok(nullptr, " \t\r\v\f")) {
        if (n == MAX_TOKENS) {
            snprintf(reason, static_cast<size_t>(reasonSize), "too many words");
            return false;
        }
        tokens[n++] = token;
    }
    blank = n == 0;
    if (blank)
        return true;
    if (!CTRL_readWhole(tokens[0], 1, LONG_MAX, event.m_iFrame)) {
        snprintf(reason, static_cast<size_t>(reasonSize), "\"%s\" is no frame number (1 or more)", tokens[0]);
        return false;
    }
    if (n < 2) {
        snprintf(reason, static_cast<size_t>(reasonSize), "an event is missing after the frame number");
        return false;
    }
    const VerbSpec *spec = nullptr;
    for (const VerbSpec &v : VERBS)
        if (strcmp(tokens[1], v.m_sName) == 0)
            spec = &v;
    if (spec == nullptr) {
        snprintf(reason, static_cast<size_t>(reasonSize),
                 "unknown event \"%s\" (keyDown, keyUp, mouseDown, mouseUp, rightMouseDown, rightMouseUp, "
                 "mouseMove, mouseWheel)",
                 tokens[1]);
        return false;
    }
    event.m_iVerb = spec->m_iVerb;
    event.m_iCode = 0;
    event.m_fX = event.m_fY = event.m_fAmount = 0;
    event.m_bShift = event.m_bControl = false;
    int given = n - 2;
    bool ok = given >= spec->m_iNumbers && given <= spec->m_iNumbers + spec->m_iFlags;
    double numbers[3] = {0, 0, 0};
    for (int i = 0; ok && i < spec->m_iNumbers; i++) {
        if (spec->m_bCode) {
            long code = 0;
            ok = CTRL_readWhole(tokens[2 + i], INT_MIN, INT_MAX, code);
            event.m_iCode = static_cast<int>(code);
        } else {
            ok = CTRL_readNumber(tokens[2 + i], numbers[i]);
        }
    }
    for (int i = 2 + spec->m_iNumbers; ok && i < n; i++) {
        if (strcmp(tokens[i], "shift") == 0 && !event.m_bShift)
            event.m_bShift = true;
        else if (spec->m_iFlags == 2 && strcmp(tokens[i], "control") == 0 && !event.m_bControl)
            event.m_bControl = true;
        else
            ok = false;
    }
    if (!ok) {
        snprintf(reason, static_cast<size_t>(reasonSize), "%s takes %s%s", spec->m_sName, spec->m_sArguments,
                 spec->m_bCode ? " (a whole number)" : " (finite numbers)");
        return false;
    }
    event.m_fX = numbers[0];
    event.m_fY = numbers[1];
    event.m_fAmount = numbers[2];
    return true;
}

} // namespace

bool CTRL_InputScript::parse(const char *text, const char *name, char *error, int errorSize)
{
    m_oEvents.resize(0);
    if (error != nullptr && errorSize > 0)
        error[0] = '\0';
    int lineNumber = 0;
    const char *p = text != nullptr ? text : "";
    // A UTF-8 byte-order mark that an editor put in front is no part of the
    // first line.
    if (strncmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    while (*p != '\0') {
        lineNumber++;
        const char *end = strchr(p, '\n');
        size_t length = end != nullptr ? static_cast<size_t>(end - p) : strlen(p);
        // A comment may be as long as it likes: only what comes before it
        // is read.
        const char *comment = static_cast<const char *>(memchr(p, '#', length));
        if (comment != nullptr)
            length = static_cast<size_t>(comment - p);
        char line[MAX_LINE + 1];
        char reason[256];
        bool blank = false;
        CTRL_InputScript::Event event;
        bool ok;
        if (length > MAX_LINE) {
            snprintf(reason, sizeof(reason), "the line is longer than %d characters", MAX_LINE);
            ok = false;
        } else {
            memcpy(line, p, length);
            line[length] = '\0';
            ok = readLine(line, event, blank, reason, sizeof(reason));
        }
        if (!ok) {
            if (error != nullptr && errorSize > 0)
                snprintf(error, static_cast<size_t>(errorSize), "%s:%d: %s", name, lineNumber, reason);
            m_oEvents.resize(0);
            return false;
        }
        if (!blank)
            m_oEvents.append(event);
        if (end == nullptr)
            break;
        p = end + 1;
    }
    // In frame order; a frame's events stay in file order.
    std::stable_sort(m_oEvents.m_pData, m_oEvents.m_pData + m_oEvents.m_iCount,
                     [](const Event &a, const Event &b) { return a.m_iFrame < b.m_iFrame; });
    return true;
}

bool CTRL_InputScript::load(const char *path, char *error, int errorSize)
{
    m_oEvents.resize(0);
    FILE *file = fopen(path, "rb");
    if (file == nullptr) {
        snprintf(error, static_cast<size_t>(errorSize), "%s: cannot be read (%s)", path, strerror(errno));
        return false;
    }
    UTIL_DynArray<char> text;
    const int BLOCK = 65536;
    bool tooLong = false;
    for (;;) {
        // Room for a block and the terminating NUL, within what one array
        // holds.
        if (text.m_iCount > MAX_FILE_BYTES - BLOCK) {
            tooLong = true;
            break;
        }
        int at = text.m_iCount;
        text.resize(at + BLOCK);
        size_t n = fread(text.m_pData + at, 1, BLOCK, file);
        text.resize(at + static_cast<int>(n));
        if (n < static_cast<size_t>(BLOCK))
            break;
    }
    bool failed = ferror(file) != 0;
    fclose(file);
    if (failed || tooLong) {
        snprintf(error, static_cast<size_t>(errorSize), "%s: cannot be read%s", path,
                 tooLong ? " (larger than 1 GiB)" : "");
        return false;
    }
    // A NUL inside the text would end it early: such a line is refused.
    for (int i = 0; i < text.m_iCount; i++)
        if (text.m_pData[i] == '\0') {
            int line = 1;
            for (int k = 0; k < i; k++)
                line += text.m_pData[k] == '\n';
            snprintf(error, static_cast<size_t>(errorSize), "%s:%d: the line holds a NUL character", path, line);
            return false;
        }
    text.append('\0');
    return parse(text.m_pData, path, error, errorSize);
}

void CTRL_InputScript::deliver(CTRL_Generic *controller, long frame, int &next) const
{
    if (next < 0)
        next = 0;
    while (next < m_oEvents.m_iCount && m_oEvents.m_pData[next].m_iFrame <= frame) {
        const Event &e = m_oEvents.m_pData[next++];
        switch (e.m_iVerb) {
        case KEY_DOWN:
            controller->keyDown(e.m_iCode);
            break;
        case KEY_UP:
            controller->keyUp(e.m_iCode);
            break;
        case MOUSE_DOWN:
            controller->mouseDown(false, e.m_fX, e.m_fY);
            break;
        case MOUSE_UP:
            controller->mouseUp(e.m_fX, e.m_fY);
            break;
        case RIGHT_MOUSE_DOWN:
            controller->rightMouseDown(e.m_fX, e.m_fY);
            break;
        case RIGHT_MOUSE_UP:
            controller->rightMouseUp(e.m_fX, e.m_fY);
            break;
        case MOUSE_MOVE:
            controller->mouseMove(e.m_bShift, e.m_bControl, e.m_fX, e.m_fY);
            break;
        default:
            controller->mouseWheel(e.m_bShift, e.m_fX, e.m_fY, e.m_fAmount);
            break;
        }
    }
}
