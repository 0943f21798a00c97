#pragma once

#include <QString>

// Text from files and servers (archive entry names, manifest fields, paths)
// reaches the logs inside messages. Each message must stay one log line: a
// line feed in a hostile entry name would otherwise forge a line of its own
// ("[INFO] Update installed from ...") that debug reports carry to support.
// Control characters (C0, DEL, C1, and the Unicode line and paragraph
// separators) are written as visible escapes: \n, \r, \t, else \xHH or
// \u{HHHH}. Everything else is kept as it is.
QString escapeForLog(const QString& text);
