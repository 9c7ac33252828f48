// The command line's table and its reader. Quotes group blanks into an argument and are dropped
// (a path cannot hold one); there is no escape character, so that a folder ending in a
// backslash before a quote reads as typed. Blanks and quotes are single bytes that are never the
// trail byte of a double-byte character, so the text can be read byte by byte.
#include "app/command_line.h"
#include <cstddef>
#include <cstring>
#include "platform/paths.h"

// The folder runs to the end of the line and so must come last; a package manager passes it
// unquoted, spaces and all.
const ArgumentRow ArgumentRows[] = {
    {"/S", KindSilentArgument, KindNoValue, 0, 0},
    {"/AllUsers", KindAllUsersArgument, KindNoValue, 0, 0},
    {"/CurrentUser", KindCurrentUserArgument, KindNoValue, 0, 0},
    {"/G=", KindGroupArgument, KindWordValue, offsetof(CommandLine, group), ArgumentGroupSize},
    {"/LOG=", KindLogArgument, KindWordValue, offsetof(CommandLine, logPath), ArgumentPathSize},
    {"/D=", KindFolderArgument, KindRestValue, offsetof(CommandLine, folder), ArgumentFolderSize},
};
const size_t ArgumentRowCount = sizeof ArgumentRows / sizeof ArgumentRows[0];
const char* const KnownArguments = "Known: /S /AllUsers /CurrentUser /G=<group> /LOG=<file> /D=<folder>";

static_assert(ArgumentWordSize - 1 - (sizeof "/LOG=" - 1) > ArgumentPathSize - 1,
              "a word cut at its buffer is longer than any value, so it is never taken as one");

static bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The row whose name the word begins with (and is, for a row that takes no value).
static const ArgumentRow* MatchRow(const char* word) {
  for (const ArgumentRow& row : ArgumentRows) {
    size_t at = 0;
    while (row.name[at] && word[at] == row.name[at]) ++at;
    if (row.name[at] == '\0' && (row.valueKind != KindNoValue || word[at] == '\0')) return &row;
  }
  return nullptr;
}

// Copies one argument without its quotes into word and returns where it ended: at a blank
// outside quotes, unless the argument is one that runs to the end of the line (the folder, whose
// trailing blanks go with the folder rules' trailing spaces). An argument too long for the word
// is cut, and so is too long for any value: every value buffer is shorter than the word less the
// name before it.
static const char* ReadWord(const char* text, char* word) {
  bool quoted = false;
  size_t length = 0;
  word[0] = '\0';
  for (; *text; ++text) {
    if (!quoted && IsBlank(*text)) {
      const ArgumentRow* row = MatchRow(word);
      if (!row || row->valueKind != KindRestValue) break;
    }
    if (*text == '"') {
      quoted = !quoted;
    } else if (length + 1 < ArgumentWordSize) {
      word[length++] = *text;
      word[length] = '\0';
    }
  }
  return text;
}

static const char* SkipBlanks(const char* text) {
  while (IsBlank(*text)) ++text;
  return text;
}

bool ParseCommandLine(const char* text, CommandLine* line) {
  char word[ArgumentWordSize];
  text = ReadWord(text, word);  // the program's own name
  bool allUnderstood = true;
  line->refused[0] = '\0';
  for (text = SkipBlanks(text); *text; text = SkipBlanks(text)) {
    text = ReadWord(text, word);
    const ArgumentRow* row = MatchRow(word);
    bool understood = row != nullptr;
    if (understood && row->valueSize) {
      char* value = reinterpret_cast<char*>(line) + row->valueOffset;
      understood = CopyText(value, row->valueSize, word + strlen(row->name));
    }
    if (understood) {
      line->given[row->kind] = true;
    } else if (allUnderstood) {
      allUnderstood = false;
      CopyText(line->refused, word);
    }
  }
  return allUnderstood;
}
