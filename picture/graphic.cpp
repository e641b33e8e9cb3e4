#include "picture/graphic.h"

#include <cstring>

#include "framework/exception.h"
#include "framework/file_stream.h"
#include "framework/memory_stream.h"

namespace lumivane {

void RaiseAbstractGraphicClass() { throw EAbstractError(SAbstractError); }

void TGraphic::SignalChange(TObject* Sender) {
  Modified = true;
  Fire(OnChange, this);
}

bool TGraphic::SameImageAs(TGraphic* Other) {
  if (Other == nullptr) return false;
  const bool this_empty = IsEmpty();
  const bool other_empty = Other->IsEmpty();
  if (this_empty || other_empty) return this_empty && other_empty;
  if (Other->GraphicClass() != GraphicClass()) return false;
  TMemoryStream mine;
  TMemoryStream theirs;
  WriteStoredData(mine);
  Other->WriteStoredData(theirs);
  return mine.Size() == theirs.Size() &&
         std::memcmp(mine.Memory(), theirs.Memory(), static_cast<size_t>(mine.Size())) == 0;
}

void TGraphic::ReadStoredData(TStream& Stream) { ReadFromStream(Stream); }

void TGraphic::WriteStoredData(TStream& Stream) { WriteToStream(Stream); }

void TGraphic::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  SignalChange(this);
}

void TGraphic::ReadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  ReadFromStream(stream);
}

void TGraphic::WriteToFile(const std::string& FileName) {
  TFileStream stream(FileName, fmCreate);
  WriteToStream(stream);
}

void TGraphic::ReadFromClipboard(uint16_t, HANDLE, HPALETTE) { throw EAbstractError(SAbstractError); }

void TGraphic::WriteToClipboard(uint16_t&, HANDLE&, HPALETTE&) { throw EAbstractError(SAbstractError); }

void TGraphic::ReportProgress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                              const TRect& R, const std::string& Msg) {
  Fire(OnProgress, Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

bool TGraphic::ShouldWriteStoredData(TPersistent* Ancestor) {
  if (Ancestor == nullptr) return !IsEmpty();
  auto* ancestor = dynamic_cast<TGraphic*>(Ancestor);
  if (ancestor == nullptr) return true;
  return !SameImageAs(ancestor);
}

}  // namespace lumivane
