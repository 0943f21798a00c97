#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// The program's log file: every Qt message (debug, info, warning, critical,
// fatal) is appended to appDataDir() + "/korvelanto.log" after it went where
// Qt would have sent it anyway. Process-wide; installed once by main.

// Opens the log file and installs the message handler. A second call does
// nothing.
void installFileLogger();

// The installed handler: hands the message to the previous handler first,
// then writes "<UTC time>Z [LEVEL] message" and flushes. At 5 MiB the file is
// moved to its name + ".1" (replacing an older one) and a new one is started.
void fileLogMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message);

// Flushes the open log file; nothing when none is open.
void flushLogFile();

// The log file's path; empty until installFileLogger ran.
QString logFilePath();

// Runs inside the handler while it holds the log lock, just before the line
// is written. Tests use it to raise a message from within the handler; an
// empty function removes it.
void setLogWriteHook(std::function<void()> hook);
