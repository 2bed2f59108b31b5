// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Standard output of the command options. A write that fails is remembered, not reported at
// once, so that a release still runs to its end and gives its memory back; finishOutput says
// so once, when the command is done.
namespace cli {

// Makes sure descriptors 0, 1 and 2 are open before anything else is: one that was closed
// (`>&-`) is opened read-only on /dev/null, so no file the command opens later takes its place
// and receives its output, and a write to it fails.
void holdStandardStreams();

// True when standard output is a terminal (on Windows a console) that redraws a line in place
// on a carriage return and clears its end on ESC [ K.
bool outputIsTerminal();
// The width of that terminal in columns; 80 when it cannot be told.
int terminalColumns();

// The system's text for `error` (an errno value), starting in lower case as it follows a colon.
QString errorText(int error);

// Writes `bytes` to standard output, through its buffer.
void print(const QByteArray &bytes);
// `text` in the locale's encoding.
void print(const QString &text);
// Hands what is buffered to the system now (progress shown as it happens).
void flushOutput();

// Flushes standard output and checks that it arrived. Returns `status` when everything written arrived;
// otherwise prints one line on standard error and returns at least Failed. A reader that went
// away (EPIPE, SIGPIPE ignored) needs no message: it gets Failed quietly.
int finishOutput(int status);

} // namespace cli
