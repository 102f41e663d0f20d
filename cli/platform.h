#ifndef PLATFORM_H
#define PLATFORM_H

#include <cstdio>

// What the console tool asks of the operating system, set up before
// anything else runs.
namespace Platform {

// Writing to a pipe whose reader has gone fails instead of ending the
// program; a standard stream that was closed is opened read-only on the
// null device, so that the program's own files and sockets never take its
// place and writing to it fails; lines end in LF on every system. Qt's
// own event loop is chosen. Before the application object is made.
void prepareProcess();

// Raises the limit on open files as far as the system lets the process,
// and returns how many modules may run at once within it, beside the files
// open already: 0 if none may.
int modulesAtOnce();

// Whether the stream goes to a terminal (a person watching), not a file.
bool isTerminal(FILE *stream);

} // namespace Platform

#endif // PLATFORM_H
