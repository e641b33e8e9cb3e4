#pragma once
// The raster device seen from the toolkit: its bitmaps as images and its fonts as fonts, for the
// framework's widgets that put the device's drawing on screen. The device's own interface
// (gdi.h) stays free of toolkit types.
#include <QFont>
#include <QImage>

#include "platform/gdi/gdi_objects.h"

namespace lumivane {

// The pixels of a 32-bit top-down bitmap (every 32-bit device bitmap, and BI_RGB DIB sections
// with negative height) as a Format_RGB32 image sharing the bitmap's memory; a null image for
// other bitmaps. The image is valid while the bitmap lives.
QImage BitmapAsQImage(HBITMAP bitmap);
// The Qt font that draws a font handle's text (the face mapped to the installed family, the height
// in pixels); the stock system font for a null or invalid handle. For Qt's own widgets (dialogs)
// that are to look like the program's windows.
QFont FontAsQFont(HFONT font);

}  // namespace lumivane
