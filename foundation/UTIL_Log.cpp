#include "foundation/UTIL_Log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static UTIL_LogSink s_pfnSink = nullptr;
static void *s_pSinkContext = nullptr;

void UTIL_setLogSink(UTIL_LogSink sink, void *context)
{
    s_pfnSink = sink;
    s_pSinkContext = context;
}

static void writeLine(const char *message)
{
    if (s_pfnSink != nullptr) {
        s_pfnSink(message, s_pSinkContext);
        return;
    }
    fprintf(stderr, "%s\n", message);
}

void UTIL_warn(const char *format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    writeLine(buffer);
}

void UTIL_warnFrom(const char *source, const char *format, ...)
{
    char buffer[1024];
    int used = 0;
    if (source != nullptr && source[0] != '\0') {
        used = snprintf(buffer, sizeof(buffer), "%s: ", source);
        if (used < 0 || used >= static_cast<int>(sizeof(buffer)))
            used = static_cast<int>(sizeof(buffer)) - 1;
    }
    va_list args;
    va_start(args, format);
    vsnprintf(buffer + used, sizeof(buffer) - static_cast<size_t>(used), format, args);
    va_end(args);
    writeLine(buffer);
}

void UTIL_warnText(const char *text)
{
    char buffer[1024];
    snprintf(buffer, sizeof(buffer), "%s", text != nullptr ? text : "");
    writeLine(buffer);
}
