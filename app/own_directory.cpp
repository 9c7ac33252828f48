// The directory length of the program's own path. Kept apart from the process entry so that the
// tests can reach it with a stepper of their own code page.
#include "app/own_directory.h"
#include "install/setup_state.h"

uint16_t OwnDirectoryLength(const char* path, OwnPathStep step) {
  unsigned length = 0;
  for (const char* p = path; *p;) {
    if (*p == '\\') length = static_cast<unsigned>(p - path) + 1;
    const char* next = step ? step(p) : NextCharacter(p);
    if (next <= p) break;  // a stepper that stands still would never reach the end
    p = next;
  }
  return length > FolderLimit ? 0 : static_cast<uint16_t>(length);
}
