// The command line: the arguments the program understands (one table), what a run was given, and
// the exit codes of a silent run. Plain text work with no Windows call, so that the host tests
// parse with the very same code and table.
#pragma once
#include <cstddef>
#include <cstdint>

enum ArgumentKind : uint8_t {
  KindSilentArgument,
  KindFolderArgument,
  KindGroupArgument,
  KindLogArgument,
  KindAllUsersArgument,
  KindCurrentUserArgument,
  ArgumentKindCount,
};

// What a row's name is followed by: nothing, a value up to the next blank (quotes group blanks
// into it), or the rest of the line, blanks and all, as deployment tools pass a folder.
enum ArgumentValueKind : uint8_t { KindNoValue, KindWordValue, KindRestValue };

// The exit codes of a silent run; a run with the dialog always ends with ExitDone.
enum ExitCode : uint32_t {
  ExitDone = 0,          // installed, uninstalled, or nothing to uninstall
  ExitFailed = 1,        // the message is in the log
  ExitArgumentsRefused = 2,  // nothing was written
  ExitFilesInUse = 3,    // a publication file is open in another program
  ExitAlreadyRunning = 4,
};

constexpr size_t ArgumentFolderSize = 196;  // the dialog's folder field: 195 characters
constexpr size_t ArgumentGroupSize = 65;    // the group field: 64 characters
constexpr size_t ArgumentPathSize = 260;
constexpr size_t ArgumentWordSize = ArgumentPathSize + 8;  // more than the longest value with its name

struct CommandLine {
  bool given[ArgumentKindCount];
  char folder[ArgumentFolderSize];
  char group[ArgumentGroupSize];
  char logPath[ArgumentPathSize];
  char refused[ArgumentWordSize];  // the first argument not understood, "" when none
};

struct ArgumentRow {
  const char* name;  // compared as written, upper case included, as NSIS compares its own
  ArgumentKind kind;
  ArgumentValueKind valueKind;
  uint16_t valueOffset;  // of the value's buffer in CommandLine
  uint16_t valueSize;
};

extern const ArgumentRow ArgumentRows[];
extern const size_t ArgumentRowCount;
// The rows as the message about an argument not understood lists them.
extern const char* const KnownArguments;

// Reads the whole command line as GetCommandLineA gives it, the program's name first, into a line
// that starts zero-filled (the program's is static; a test's is value-initialised). False when
// an argument was not understood (refused names the first); the rest is read all the same, so
// that a silent run is known as one whatever else is wrong. A value that would not fit its
// buffer is not understood: it is never cut short.
bool ParseCommandLine(const char* text, CommandLine* line);
