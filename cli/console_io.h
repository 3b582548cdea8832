#pragma once

#include <QString>

#include <cstdio>

// Text for the person at the terminal: the locale's encoding on a pipe or in a file, as any
// command-line tool writes it; on a Windows console its UTF-16, which shows every character
// whatever the console's code page.
void writeText(std::FILE *stream, const QString &text);
bool isTerminal(std::FILE *stream);
// The stream passes bytes as they are (rows end in CR LF of their own; Windows' text mode would
// add a CR before every LF).
void passBytesAsTheyAre(std::FILE *stream);

// Ctrl-C (and SIGTERM, or on Windows Ctrl-Break and the console's closing) asks the run to
// stop; a second Ctrl-C ends the program at once with 130.
void catchInterrupts();
bool interruptRequested();

// The program's exit codes.
enum Exit { AllRead = 0, SomeFailed = 1, BadArgument = 2, CannotWrite = 3, Blocked = 4, Interrupted = 130 };
// "vqlirra-cli: message" as a line on standard error; returns code.
int complain(int code, const QString &message);
