// The LZ32 reader: expands files in the SZDD format of the compress utility and passes any other
// file through unchanged. Readers sit on handles opened by platform/files.cpp.
#include "platform/platform.h"
#include <lzexpand.h>

// The header declares LZ32's functions without dllimport, which sends every call through an
// import stub of its own; declared as the imports they are, a call goes through the import address
// table directly, as for every other system function.
extern "C" {
__declspec(dllimport) INT WINAPI LZInit(INT);
__declspec(dllimport) LONG WINAPI LZSeek(INT, LONG, INT);
__declspec(dllimport) INT WINAPI LZRead(INT, LPSTR, INT);
__declspec(dllimport) VOID WINAPI LZClose(INT);
}

// LZ32 takes the 32-bit HFILE form of a file handle; on Win32 the two are the same value.
static HFILE HfileOf(FileHandle file) { return static_cast<HFILE>(file); }

// Not inlined: link-time optimisation would otherwise copy it into both of its callers.
__attribute__((noinline)) LzHandle OpenLzReader(FileHandle file) {
  if (file == NoFile) return LZERROR_BADINHANDLE;
  return LZInit(HfileOf(file));
}

// Not inlined: link-time optimisation would otherwise copy the call into each of its three callers.
__attribute__((noinline)) long ReadLz(LzHandle reader, void* buffer, uint32_t count) {
  return LZRead(reader, static_cast<char*>(buffer), static_cast<INT>(count));
}

// Not inlined: link-time optimisation would otherwise copy the call into each of its six callers.
__attribute__((noinline)) long SeekLz(LzHandle reader, long offset, int origin) {
  return LZSeek(reader, offset, origin);
}

void CloseLz(LzHandle reader) {
  if (reader >= 0) LZClose(reader);
}
