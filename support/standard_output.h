#pragma once

#include <QString>

// Writes one diagnostic line ("Parlix 已启动", "ASR error: ...") to standard output as UTF-8
// and flushes it, so that lines reach a pipe at once and in order from any thread.
void printLine(const QString& line);
