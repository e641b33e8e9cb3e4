#include "picture/picture.h"

#include <algorithm>

#include "framework/exception.h"
#include "framework/file_stream.h"
#include "framework/stream.h"
#include "framework/sys_utils.h"
#include "picture/bitmap.h"
#include "picture/clipboard_formats.h"
#include "picture/file_formats_list.h"

namespace lumivane {

namespace {
constexpr const char* SUnknownExtension = "Unknown picture file extension (.%s)";
constexpr size_t kMaxStoredClassName = 63;
}  // namespace

TPicture::TPicture() {
  FileFormatRegistry();
  ClipboardFormatRegistry();
}

TPicture::~TPicture() = default;

void TPicture::RegisterGraphicFormat(const std::string& Extension, const std::string& Description,
                                     const TGraphicClass* GraphicClass) {
  FileFormatRegistry().AddFormat(Extension, Description, GraphicClass, 0);
}

void TPicture::RegisterGraphicClipboardFormat(uint16_t FormatId, const TGraphicClass* GraphicClass) {
  ClipboardFormatRegistry().Add(FormatId, GraphicClass);
}

void TPicture::UnregisterGraphicFormats(const TGraphicClass* GraphicClass) {
  FileFormatRegistry().RemoveClass(GraphicClass);
  ClipboardFormatRegistry().RemoveClass(GraphicClass);
}

void TPicture::HookEvents(TGraphic& graphic) {
  graphic.OnChange = [this](TObject* sender) { Changed(sender); };
  graphic.OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw,
                              const TRect& r,
                              const std::string& msg) { Progress(sender, stage, percent, redraw, r, msg); };
}

// Frees the old graphic, holds the new one (hooked) and runs the change handler.
void TPicture::TakeGraphic(std::unique_ptr<TGraphic> graphic) {
  if (graphic) HookEvents(*graphic);
  graphic_ = std::move(graphic);
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  if (Value == nullptr) {
    TakeGraphic(nullptr);
    return;
  }
  // Copy first: Value may be the graphic held now.
  std::unique_ptr<TGraphic> copy = Value->GraphicClass()->Create();
  copy->AssignFrom(Value);
  TakeGraphic(std::move(copy));
}

TBitmap& TPicture::Bitmap() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) return *bitmap;
  TakeGraphic(std::make_unique<TBitmap>());
  return static_cast<TBitmap&>(*graphic_);
}

void TPicture::ReadFromFile(const std::string& FileName) {
  std::string ext = ExtractFileExt(FileName);
  if (!ext.empty()) ext.erase(0, 1);
  const TGraphicClass* graphic_class = FileFormatRegistry().FindByExtension(ext);
  if (graphic_class == nullptr) throw EInvalidGraphic(Format(SUnknownExtension, ext.c_str()));

  std::unique_ptr<TGraphic> graphic = graphic_class->Create();
  graphic->OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw,
                               const TRect& r,
                               const std::string& msg) { Progress(sender, stage, percent, redraw, r, msg); };
  graphic->ReadFromFile(FileName);  // on failure the new graphic is freed, the old one stays
  TakeGraphic(std::move(graphic));
}

void TPicture::WriteToFile(const std::string& FileName) {
  if (graphic_) graphic_->WriteToFile(FileName);
}

void TPicture::ReadFromStream(TStream& Stream) { Bitmap().ReadFromStream(Stream); }

void TPicture::WriteToStream(TStream& Stream) { Bitmap().WriteToStream(Stream); }

void TPicture::AssignFrom(TPersistent* Source) {
  if (Source == nullptr) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<TPicture*>(Source)) {
    SetGraphic(picture->Graphic());
  } else if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(graphic);
  } else {
    TPersistent::AssignFrom(Source);
  }
}

void TPicture::AssignInto(TPersistent* Target) {
  auto* target = dynamic_cast<TGraphic*>(Target);
  if (graphic_ && target && graphic_->GraphicClass()->InheritsFrom(target->GraphicClass())) {
    target->AssignFrom(graphic_.get());
    return;
  }
  TPersistent::AssignInto(Target);
}

int TPicture::ImageWidth() const { return graphic_ ? graphic_->ImageWidth() : 0; }

int TPicture::ImageHeight() const { return graphic_ ? graphic_->ImageHeight() : 0; }

void TPicture::Changed(TObject* Sender) {
  Fire(OnChange, this);
  if (notifier_ != nullptr) notifier_->Changed();
}

void TPicture::Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg) {
  Fire(OnProgress, Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TPicture::ReadStoredData(TStream& Stream) {
  const uint8_t length = Stream.ReadByte();
  std::unique_ptr<TGraphic> graphic;
  if (length > 0) {
    std::string name(length, '\0');
    Stream.ReadBuffer(name.data(), length);
    if (const TGraphicClass* graphic_class = FileFormatRegistry().FindByClassName(name)) {
      graphic = graphic_class->Create();
      graphic->ReadStoredData(Stream);
    } else {
      Stream.Seek(0, soEnd);  // an unknown class: the rest of the data is ignored
    }
  }
  TakeGraphic(std::move(graphic));
}

void TPicture::WriteStoredData(TStream& Stream) {
  if (!graphic_) {
    Stream.WriteByte(0);
    return;
  }
  std::string name = graphic_->GraphicClass()->Name();
  if (name.size() > kMaxStoredClassName) name.resize(kMaxStoredClassName);
  Stream.WriteByte(static_cast<uint8_t>(name.size()));
  Stream.WriteBuffer(name.data(), static_cast<int64_t>(name.size()));
  graphic_->WriteStoredData(Stream);
}

bool TPicture::ShouldWriteStoredData(TPersistent* Ancestor) {
  if (Ancestor == nullptr) return graphic_ != nullptr;
  auto* ancestor = dynamic_cast<TPicture*>(Ancestor);
  if (ancestor == nullptr) return true;
  TGraphic* theirs = ancestor->Graphic();
  if (graphic_.get() == theirs) return false;
  if (graphic_ && theirs && graphic_->SameImageAs(theirs)) return false;
  return true;
}

}  // namespace lumivane
