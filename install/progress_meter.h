// The owner-drawn progress bar (control 1020): bytesDone against ProgressTotal.
// Drawing is dialog code, so this file talks to USER32 and GDI32 directly.
#pragma once
#include <windows.h>
#include <cstdint>

struct MeterGeometry {
  uint16_t meterWidth;   // usable pixels; 0 until first drawn
  uint16_t meterPixels;  // filled pixels shown
  RECT meterRect;        // the filled strip of the last whole drawing; updates keep to its top and bottom
};
extern MeterGeometry meter;

void DrawProgressMeter(const DRAWITEMSTRUCT* item);
void SetMeterPixels(uint16_t pixels);
void UpdateProgress();
// The filled width for a byte count on a meter of the given usable width (0 when width is 0).
uint16_t MeterPixelsFor(uint32_t bytes, uint16_t width);
