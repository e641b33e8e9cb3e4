#pragma once
// The abstract picture interface. Every picture kind (bitmap, icon, metafile, JPEG, GIF) derives
// from TGraphic and overrides its virtual operations for loading, saving, drawing, sizing and
// change notification.
#include <cstdint>
#include <functional>
#include <string>

#include "framework/persistent.h"
#include "framework/types.h"
#include "picture/graphic_class.h"
#include "platform/gdi/gdi_objects.h"

namespace lumivane {

class TCanvas;
class TStream;

enum TProgressStage { psStarting, psRunning, psEnding };

// Progress of a long operation (decoding): the sender, the stage, the percentage done, whether the
// part in R should be redrawn now, the rectangle of rows done and a message.
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

class TGraphic : public TPersistent {
 public:
  using GraphicSelf = TGraphic;
  using GraphicBase = void;
  static constexpr const char* GraphicClassName = "TGraphic";

  TGraphic() = default;
  ~TGraphic() override = default;

  // The class reference of this object's class (its virtual constructor is Create()).
  virtual const TGraphicClass* GraphicClass() const { return GraphicClassOf<TGraphic>(); }

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;
  bool Modified = false;         // set by SignalChange
  bool PaletteModified = false;  // set by subclasses when their palette changed

  // Sets Modified and fires OnChange with this graphic as the sender.
  virtual void SignalChange(TObject* Sender);
  // Draws the graphic into Rect of Canvas.
  virtual void DrawInto(TCanvas& Canvas, const TRect& Rect) = 0;
  // True when Other holds the same picture: both empty, or the same class with byte-equal
  // stored data.
  virtual bool SameImageAs(TGraphic* Other);
  virtual bool IsEmpty() = 0;
  virtual int ImageHeight() = 0;
  virtual HPALETTE PaletteHandle() { return nullptr; }
  virtual bool Transparent() { return transparent_; }
  virtual int ImageWidth() = 0;
  // Reads the graphic's form data ("Data" property); the base reads it as a picture file.
  virtual void ReadStoredData(TStream& Stream);
  virtual void SetImageHeight(int Value) = 0;
  virtual void SetPaletteHandle(HPALETTE Value) {}
  // Stores a new flag and signals a change when it differs.
  virtual void SetTransparent(bool Value);
  virtual void SetImageWidth(int Value) = 0;
  // Writes the graphic's form data; the base writes it as a picture file.
  virtual void WriteStoredData(TStream& Stream);
  // Opens the file for shared reading (writes denied) and reads it with ReadFromStream; the
  // file is closed on every path. EFOpenError "Cannot open file %s" when it cannot be opened.
  virtual void ReadFromFile(const std::string& FileName);
  // Creates the file and writes it with WriteToStream.
  virtual void WriteToFile(const std::string& FileName);
  // Reads the picture from the stream's position to its end.
  virtual void ReadFromStream(TStream& Stream) = 0;
  virtual void WriteToStream(TStream& Stream) = 0;
  // Clipboard exchange; a class that does not support it raises EAbstractError.
  virtual void ReadFromClipboard(uint16_t Format, HANDLE Data, HPALETTE Palette);
  virtual void WriteToClipboard(uint16_t& Format, HANDLE& Data, HPALETTE& Palette);

  // Fires OnProgress when assigned.
  virtual void ReportProgress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                              const TRect& R, const std::string& Msg);

  // Whether the "Data" property must be written against an ancestor value (null: none): with no
  // ancestor when not empty; against a non-graphic always; against a graphic when the two
  // pictures differ.
  bool ShouldWriteStoredData(TPersistent* Ancestor);

 protected:
  bool transparent_ = false;  // the stored Transparent flag
};

}  // namespace lumivane
