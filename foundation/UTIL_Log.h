#pragma once

// The diagnostic log: formats one message into a 1024-byte buffer (longer
// messages are cut) and writes it to standard error followed by a newline,
// in one write.
void UTIL_warn(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The same with "source: " in front of the message, where source (a file the
// message is about) is neither null nor empty.
void UTIL_warnFrom(const char *source, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Writes text unchanged (never as a format) as one log line, cut to 1023 bytes.
void UTIL_warnText(const char *text);

// Where log lines go; standard error unless a test captures them.
typedef void (*UTIL_LogSink)(const char *line, void *context);
void UTIL_setLogSink(UTIL_LogSink sink, void *context);
