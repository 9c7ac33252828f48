// The install folder: default, separators, canonical root, length limit, working path;
// the directory chain created at install start; the shell's folder browser.
#pragma once
#include <cstdint>

// The character stepper is CharNextA in the product; tests may pass their own.
using CharacterStep = const char* (*)(const char*);

bool NormaliseFolder();
// Makes every missing folder of the chain and notes in createdFolderLength the highest one it made.
void CreateFolderChain();
// Whether `folder` is `top` or lies below it (compared without regard to case).
bool FolderLiesWithin(const char* folder, const char* top);
// Whether the two texts name the same folder (compared without regard to case); an empty text
// names none.
bool IsSameFolder(const char* first, const char* second);
int FindSeparator(int count, const char* text, char character, CharacterStep step = nullptr);
bool BrowseForFolder(const char* title, char* destination, unsigned limit);
