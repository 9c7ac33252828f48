// The progress bar, control 1020: an owner-drawn strip in the inverse of the active-caption colour
// that shows bytesDone against the build's ProgressTotal; updates invert only the changed strip.
#include "install/progress_meter.h"
#include "install/setup_state.h"
#include "resources/resource_ids.h"

MeterGeometry meter;

// Without a dialog GetDlgItem finds no control either.
static HWND MeterWindow() { return GetDlgItem(DialogWindow(), IDC_METER); }

uint16_t MeterPixelsFor(uint32_t bytes, uint16_t width) {
  if (width == 0) return 0;
  uint32_t bytesPerPixel = ProgressTotal / width;
  if (bytesPerPixel == 0) return bytes ? width : 0;  // a total smaller than the width
  uint32_t pixels = bytes / bytesPerPixel;
  return pixels > width ? width : static_cast<uint16_t>(pixels);
}

void DrawProgressMeter(const DRAWITEMSTRUCT* item) {
  if (!(item->itemAction & ODA_DRAWENTIRE)) return;
  RECT strip = item->rcItem;  // the whole control, then its filled part
  // FillRect takes a system colour's index plus one for that colour's own brush.
  FillRect(item->hDC, &strip, reinterpret_cast<HBRUSH>(COLOR_ACTIVECAPTION + 1));
  long width = strip.right - strip.left - 4;
  meter.meterWidth = static_cast<uint16_t>(width > 0 ? width : 0);
  if (setup.installed) meter.meterPixels = meter.meterWidth;
  strip.left += 2;
  strip.top += 2;
  strip.bottom -= 2;
  strip.right = strip.left + meter.meterPixels;
  meter.meterRect = strip;
  InvertRect(item->hDC, &strip);
}

void SetMeterPixels(uint16_t pixels) {
  uint16_t shown = meter.meterPixels;
  meter.meterPixels = pixels;
  HWND window = MeterWindow();
  HDC dc = window ? GetDC(window) : nullptr;
  if (!dc) return;
  // Only the strip between the shown and the new end changes, whichever way the bar moved.
  bool grew = pixels > shown;
  uint16_t from = grew ? shown : pixels, to = grew ? pixels : shown;
  RECT strip = {from + 2, meter.meterRect.top, to + 2, meter.meterRect.bottom};
  InvertRect(dc, &strip);
  ReleaseDC(window, dc);
}

void UpdateProgress() {
  if (meter.meterWidth == 0) return;
  uint16_t pixels = MeterPixelsFor(setup.bytesDone, meter.meterWidth);
  if (pixels != meter.meterPixels) SetMeterPixels(pixels);
}
