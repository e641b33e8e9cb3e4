#pragma once
// The picture container: owns at most one graphic, loads files by picking the graphic class from
// the file's extension in the format registry, and tells its owner about changes.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/persistent.h"
#include "picture/change_notifier.h"
#include "picture/graphic.h"

namespace lumivane {

class TBitmap;
class TStream;

class TPicture : public TPersistent {
 public:
  // Makes sure the format registry and the clipboard registry exist.
  TPicture();
  ~TPicture() override;

  // ---- registry (class-level) ----
  // Appends (Extension, Description, GraphicClass) to the file-format registry; a later entry
  // for the same extension wins.
  static void RegisterGraphicFormat(const std::string& Extension, const std::string& Description,
                                    const TGraphicClass* GraphicClass);
  // Appends a clipboard format id for GraphicClass to the clipboard registry.
  static void RegisterGraphicClipboardFormat(uint16_t FormatId, const TGraphicClass* GraphicClass);
  // Removes every entry whose class is GraphicClass or derives from it, from both registries.
  static void UnregisterGraphicFormats(const TGraphicClass* GraphicClass);

  // ---- the held graphic ----
  TGraphic* Graphic() const { return graphic_.get(); }
  // Holds a copy of Value (a new instance of its class that copies it); null empties the picture.
  // Runs the change handler.
  void SetGraphic(TGraphic* Value);
  // The held graphic as a bitmap, replacing any other graphic by a new empty bitmap first.
  TBitmap& Bitmap();

  // Loads a file with the graphic class registered for its extension. Raises EInvalidGraphic
  // "Unknown picture file extension (.%s)" for an unknown extension; on any failure the previous
  // graphic stays. A successful load runs the change handler once.
  void ReadFromFile(const std::string& FileName);
  // Writes the held graphic to a file (nothing when empty).
  void WriteToFile(const std::string& FileName);
  // Read and write through a bitmap (the held graphic becomes a TBitmap first).
  void ReadFromStream(TStream& Stream);
  void WriteToStream(TStream& Stream);

  // From a TPicture: its graphic; from a TGraphic: that graphic; from null: empty.
  void AssignFrom(TPersistent* Source) override;

  int ImageWidth() const;   // 0 when empty
  int ImageHeight() const;  // 0 when empty

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;
  // The owner hook: the control holding the picture registers itself here (null: none).
  void SetNotifier(IChangeNotifier* Notifier) { notifier_ = Notifier; }
  IChangeNotifier* Notifier() const { return notifier_; }

  // ---- streamed picture data ("Data" in form data) ----
  // A length byte n, n characters of the class name (at most 63), then the graphic's stored data;
  // an empty picture is the single byte 0.
  void ReadStoredData(TStream& Stream);
  void WriteStoredData(TStream& Stream);
  // Whether the data must be written against an ancestor value (null: none).
  bool ShouldWriteStoredData(TPersistent* Ancestor);

 protected:
  // The change handler: fires OnChange (sender = this picture), then the owner hook.
  virtual void Changed(TObject* Sender);
  // The progress handler: fires OnProgress with the arguments received.
  virtual void Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg);
  // Into a graphic whose class the held graphic belongs to: the target copies the graphic.
  void AssignInto(TPersistent* Target) override;

 private:
  void HookEvents(TGraphic& graphic);
  void TakeGraphic(std::unique_ptr<TGraphic> graphic);

  std::unique_ptr<TGraphic> graphic_;
  IChangeNotifier* notifier_ = nullptr;
};

}  // namespace lumivane
