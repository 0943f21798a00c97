#pragma once

class QCommandLineParser;

// The command line's dump-preview: renders one page of --input into the PNG
// named by --dump-preview without creating a window. Returns the exit code
// (0, 2 or 3) and writes its messages to standard error.
int runDumpPreview(const QCommandLineParser& parser);

// Pixel budget of one rendered image: a larger --scale is refused as a failed
// render instead of asking for gigabytes.
constexpr long long kMaxPreviewPixels = 64LL * 1024 * 1024;
