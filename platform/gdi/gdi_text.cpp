// Fonts and text, rendered by Qt into the target bitmap's memory.

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/gdi_qt_bridge.h"
#include "platform/platform_error.h"

namespace lumivane {

using namespace gdi_detail;

namespace {

constexpr LONG kDefaultHeight = -11;

bool HaveGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) return true;
  SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

bool SameFace(const char* a, const char* b) {
  return QString::fromLatin1(a).compare(QString::fromLatin1(b), Qt::CaseInsensitive) == 0;
}

// The installed family that draws a face name.
QString FamilyFor(const char* face) {
  static const char* const sans[] = {"",       "MS Sans Serif", "Arial",    "MS Shell Dlg", "MS Shell Dlg 2",
                                     "System", "Tahoma",        "Helvetica"};
  static const char* const mono[] = {"Courier New", "Courier", "Fixedsys", "Terminal"};
  static const char* const serif[] = {"Times New Roman", "MS Serif", "Times"};
  for (const char* name : sans)
    if (SameFace(face, name)) return QStringLiteral("Liberation Sans");
  for (const char* name : mono)
    if (SameFace(face, name)) return QStringLiteral("Liberation Mono");
  for (const char* name : serif)
    if (SameFace(face, name)) return QStringLiteral("Liberation Serif");
  return QString::fromUtf8(face);
}

QFont QtFont(const LOGFONTA& lf) {
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
  QFont font(FamilyFor(face));
  const LONG height = lf.lfHeight == 0 ? kDefaultHeight : lf.lfHeight;
  if (height < 0) {
    font.setPixelSize(static_cast<int>(-height));
  } else {
    // A positive height is the cell height (ascent + descent): scale the character height.
    font.setPixelSize(static_cast<int>(height));
    const QFontMetrics m(font);
    const int cell = m.ascent() + m.descent();
    if (cell > 0)
      font.setPixelSize(
          std::max(1, static_cast<int>(std::lround(static_cast<double>(height) * height / cell))));
  }
  font.setBold(lf.lfWeight >= 600);
  font.setItalic(lf.lfItalic != 0);
  font.setUnderline(lf.lfUnderline != 0);
  font.setStrikeOut(lf.lfStrikeOut != 0);
  return font;
}

QFont FontOf(HDC dc) {
  const GdiFont* font = dc->state.font != nullptr ? dc->state.font : StockFont(SYSTEM_FONT);
  return QtFont(font->log);
}

QString Text(const char* text, int len) {
  if (text == nullptr) return QString();
  return len < 0 ? QString::fromUtf8(text) : QString::fromUtf8(text, len);
}

int CellHeight(const QFontMetrics& m) { return m.ascent() + m.descent(); }

QColor QtColour(std::uint32_t pixel) {
  return QColor((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

// Draws one line with its cell's top-left at device (x, y), within `limit` (device coordinates).
void DrawLine(HDC dc, int x, int y, const QString& text, const QFont& font, const RECT& limit) {
  const Surface target = TargetSurface(dc);
  if (!target.Valid() || text.isEmpty()) return;
  const QFontMetrics m(font);
  const RECT cell{x, y, x + m.horizontalAdvance(text), y + CellHeight(m)};
  const RECT area = Intersect(Intersect(cell, DrawableRect(dc)), limit);
  if (IsEmpty(area)) return;
  if (dc->state.bkMode == OPAQUE) PatternFill(target, area, 0xF0, ResolvePixel(dc, dc->state.bkColor));

  auto paint = [&](QImage& image, int originX, int originY) {
    QPainter painter(&image);
    painter.setClipRect(area.left - originX, area.top - originY, area.right - area.left,
                        area.bottom - area.top);
    painter.setFont(font);
    painter.setPen(QtColour(ResolvePixel(dc, dc->state.textColor)));
    painter.drawText(QPoint(x - originX, y - originY + m.ascent()), text);
  };
  if (target.IsPlain32() && target.step > 0) {
    QImage image(target.top, target.width, target.height, target.step, QImage::Format_RGB32);
    paint(image, 0, 0);
    return;
  }
  // Other formats: draw into a 32-bit copy of the area and convert it back.
  const int w = area.right - area.left, h = area.bottom - area.top;
  QImage image(w, h, QImage::Format_RGB32);
  const RowReader reader(target);
  RowWriter writer(target);
  for (int row = 0; row < h; ++row)
    reader.Read(area.top + row, area.left, w, reinterpret_cast<std::uint32_t*>(image.scanLine(row)));
  paint(image, area.left, area.top);
  for (int row = 0; row < h; ++row)
    writer.Write(area.top + row, area.left, w,
                 reinterpret_cast<const std::uint32_t*>(image.constScanLine(row)));
}

// Removes '&' prefixes: "&&" stays as one '&', "&x" becomes "x".
QString StripPrefixes(const QString& text) {
  QString out;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size())
      ++i;
    else if (text[i] == u'&')
      continue;
    out += text[i];
  }
  return out;
}

QString ElideEnd(const QString& text, const QFontMetrics& m, int width) {
  if (m.horizontalAdvance(text) <= width) return text;
  const QString dots = QStringLiteral("...");
  QString kept = text;
  while (!kept.isEmpty() && m.horizontalAdvance(kept + dots) > width) kept.chop(1);
  return kept + dots;
}

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* result = new GdiFont;
  result->log = *font;
  result->log.lfFaceName[LF_FACESIZE - 1] = '\0';
  return result;
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName != nullptr) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirectA(&lf);
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int len) {
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!HaveGuiApplication()) return FALSE;
  const POINT o = dc->state.viewportOrg;
  DrawLine(dc, x + o.x, y + o.y, Text(text, len), FontOf(dc),
           RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int len, SIZE* size) {
  if (dc == nullptr || size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!HaveGuiApplication()) return FALSE;
  const QFontMetrics m(FontOf(dc));
  size->cx = m.horizontalAdvance(Text(text, len));
  size->cy = CellHeight(m);
  return TRUE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  if (dc == nullptr || metrics == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!HaveGuiApplication()) return FALSE;
  const GdiFont* font = dc->state.font != nullptr ? dc->state.font : StockFont(SYSTEM_FONT);
  const QFont qfont = QtFont(font->log);
  const QFontMetrics m(qfont);
  TEXTMETRICA& t = *metrics;
  t = TEXTMETRICA{};
  t.tmAscent = m.ascent();
  t.tmDescent = m.descent();
  t.tmHeight = t.tmAscent + t.tmDescent;
  t.tmInternalLeading = std::max<LONG>(0, t.tmHeight - qfont.pixelSize());
  t.tmExternalLeading = std::max(0, m.leading());
  t.tmAveCharWidth = m.averageCharWidth();
  t.tmMaxCharWidth = m.maxWidth();
  t.tmWeight = font->log.lfWeight == 0 ? FW_NORMAL : font->log.lfWeight;
  t.tmDigitizedAspectX = t.tmDigitizedAspectY = 96;
  t.tmFirstChar = 0x20;
  t.tmLastChar = 0xFF;
  t.tmDefaultChar = '?';
  t.tmBreakChar = 0x20;
  t.tmItalic = font->log.lfItalic;
  t.tmUnderlined = font->log.lfUnderline;
  t.tmStruckOut = font->log.lfStrikeOut;
  t.tmPitchAndFamily = static_cast<BYTE>(qfont.fixedPitch() ? 0x04 : 0x05);  // outline font
  t.tmCharSet = font->log.lfCharSet;
  return TRUE;
}

int DrawTextA(HDC dc, const char* text, int len, RECT* rect, UINT format) {
  if (dc == nullptr || rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!HaveGuiApplication()) return 0;
  QString all = Text(text, len);
  if ((format & DT_NOPREFIX) == 0) all = StripPrefixes(all);
  all.remove(u'\r');
  QStringList lines;
  if (format & DT_SINGLELINE)
    lines << QString(all).replace(u'\n', u' ');
  else
    lines = all.split(u'\n');

  const QFont font = FontOf(dc);
  const QFontMetrics m(font);
  const int lineHeight = CellHeight(m);
  const int total = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, m.horizontalAdvance(line));
    rect->right = rect->left + widest;
    rect->bottom = rect->top + total;
    return total;
  }
  const POINT o = dc->state.viewportOrg;
  const RECT box{rect->left + o.x, rect->top + o.y, rect->right + o.x, rect->bottom + o.y};
  int top = box.top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      top = box.top + (box.bottom - box.top - lineHeight) / 2;
    else if (format & DT_BOTTOM)
      top = box.bottom - lineHeight;
  }
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i];
    if (format & DT_END_ELLIPSIS) line = ElideEnd(line, m, box.right - box.left);
    const int width = m.horizontalAdvance(line);
    int left = box.left;
    if (format & DT_CENTER)
      left = box.left + (box.right - box.left - width) / 2;
    else if (format & DT_RIGHT)
      left = box.right - width;
    DrawLine(dc, left, top + i * lineHeight, line, font, box);
  }
  return (format & DT_SINGLELINE) ? lineHeight : total;
}

QFont FontAsQFont(HFONT font) {
  LOGFONTA log{};
  if (font == nullptr || GetObjectA(font, sizeof(log), &log) != static_cast<int>(sizeof(log))) {
    log = StockFont(SYSTEM_FONT)->log;
  }
  return QtFont(log);
}

}  // namespace lumivane
