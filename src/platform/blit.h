// The hot drawing, beside Surface's general raster operations: the masked figures of the
// field and of battles in one pass, and a row of tiles laid from a sheet.
#pragma once

#include "platform/surface.h"

namespace ardo::platform {

// OR with the mask, then AND with the image, both read at (sx, sy), in one pass over
// the destination: the same as the two BitBlt calls (kSrcPaint, kSrcAnd) it replaces,
// clipped the same way.
void MaskedBlt(Surface& dst, int dx, int dy, int w, int h, const Surface& mask, const Surface& image, int sx,
               int sy);

// AND with the mask at (mx, my), then OR with the image at (sx, sy), both from `sheet`, in
// one pass over the destination: the same as the two BitBlt calls (kSrcAnd, kSrcPaint) it
// replaces, clipped the same way.
void MaskThenPaint(Surface& dst, int dx, int dy, int w, int h, const Surface& sheet, int mx, int my, int sx, int sy);

// Lays `count` square tiles of `size` pixels side by side at (dx, dy): tile k is taken
// from the sheet at (sx[k], sy[k]). The same as a kSrcCopy BitBlt of each tile, clipped
// the same way, but row by row across all of them.
void LayTileRow(Surface& dst, int dx, int dy, int size, const Surface& sheet, const int* sx, const int* sy,
                int count);

}  // namespace ardo::platform
