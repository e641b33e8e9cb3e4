#include "browse/drive_combo_box.h"

#include <algorithm>
#include <cctype>

#include "browse/directory_list_box.h"
#include "browse/path_helpers.h"
#include "framework/text_collation.h"
#include "picture/bitmap.h"
#include "platform/current_directory.h"
#include "platform/gdi/gdi.h"
#include "platform/volume_info.h"
#include "resources/resources.h"

namespace lumivane {

namespace {

// The buffers the volume and network queries fill hold this many characters with the final NUL.
constexpr DWORD kNameBufferSize = 261;
constexpr int kDefaultGlyphWidth = 16;

char ToUpper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
char ToLower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// A name in the case of the drive letter that goes with it.
std::string InLetterCase(const std::string& name, char letter) {
  const bool lower = static_cast<unsigned char>(letter) > 96;
  return lower ? TTextCollation::Lower(name) : TTextCollation::Upper(name);
}

// Puts the previous error mode back however the volume query ends.
class TErrorModeScope {
 public:
  explicit TErrorModeScope(UINT mode) : previous_(SetErrorMode(mode)) {}
  ~TErrorModeScope() { SetErrorMode(previous_); }
  TErrorModeScope(const TErrorModeScope&) = delete;
  TErrorModeScope& operator=(const TErrorModeScope&) = delete;

 private:
  UINT previous_;
};

}  // namespace

TDriveComboBox::TDriveComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
  SetStyle(csOwnerDrawFixed);
  LoadGlyphs();
  const std::string current = GetCurrentDirectoryA();
  drive_ = (current.empty() || current[0] == '\\') ? '\0' : current[0];
  ComputeItemHeight();
}

TDriveComboBox::~TDriveComboBox() {
  // The removal notices go out while the selector is whole; the items refer to the glyphs.
  BeginDestruction();
  Clear();
}

void TDriveComboBox::LoadGlyphs() {
  floppy_glyph_ = LoadGlyph("FLOPPY");
  fixed_glyph_ = LoadGlyph("HARD");
  network_glyph_ = LoadGlyph("NETWORK");
  cdrom_glyph_ = LoadGlyph("CDROM");
  ram_glyph_ = LoadGlyph("RAM");
}

void TDriveComboBox::CreateWnd() {
  TCustomComboBox::CreateWnd();
  FillDriveList();
  SetDriveLetter(drive_);
}

// ---------------------------------------------------------------------------------------------
// The list of drives.

std::string TDriveComboBox::DriveVolumeLabel(char Letter) {
  // No critical-error dialog for a drive without a medium.
  TErrorModeScope errorMode(SEM_FAILCRITICALERRORS);
  const std::string root = std::string(1, Letter) + ":\\";
  char buffer[kNameBufferSize] = {};
  std::string name;
  if (GetVolumeInformationA(root.c_str(), buffer, kNameBufferSize, nullptr, nullptr, nullptr, nullptr, 0)) {
    name = buffer;
  }
  return "[" + InLetterCase(name, Letter) + "]";
}

std::string TDriveComboBox::DriveNetworkName(char Letter) {
  std::string remote;
  const std::string local = std::string(1, ToUpper(Letter)) + ":";
  if (WNetGetConnectionA(local, remote) && remote.size() < kNameBufferSize) {
    return InLetterCase(remote, Letter);
  }
  return DriveVolumeLabel(Letter);
}

char TDriveComboBox::InTextCase(char Letter) const {
  return text_case_ == tcUpperCase ? ToUpper(Letter) : ToLower(Letter);
}

void TDriveComboBox::FillDriveList() {
  Clear();
  const DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if ((drives & (DWORD{1} << i)) == 0) continue;
    char letter = static_cast<char>('a' + i);
    const UINT type = GetDriveTypeA(std::string(1, letter) + ":\\");
    letter = InTextCase(letter);
    const std::string prefix = std::string(1, letter) + ": ";
    switch (type) {
      case DRIVE_REMOVABLE:
        AddItem(std::string(1, letter) + ":", floppy_glyph_.get());
        break;
      case DRIVE_FIXED:
        AddItem(prefix + DriveVolumeLabel(letter), fixed_glyph_.get());
        break;
      case DRIVE_REMOTE:
        AddItem(prefix + DriveNetworkName(letter), network_glyph_.get());
        break;
      case DRIVE_CDROM:
        AddItem(prefix + DriveVolumeLabel(letter), cdrom_glyph_.get());
        break;
      case DRIVE_RAMDISK:
        AddItem(prefix + DriveVolumeLabel(letter), ram_glyph_.get());
        break;
      default:
        break;  // type unknown or no root directory: not listed
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Selection and links.

void TDriveComboBox::SetDriveLetter(char NewLetter) {
  if (ItemIndex() >= 0 && ToUpper(NewLetter) == ToUpper(drive_)) return;
  if (NewLetter == '\0') {
    drive_ = '\0';
    SetItemIndex(-1);
  } else {
    drive_ = InTextCase(NewLetter);
    for (int i = 0; i < Count(); ++i) {
      const std::string& text = Items(i);
      if (text.size() >= 2 && ToUpper(text[0]) == ToUpper(drive_) && text[1] == ':') {
        SetItemIndex(i);
        break;
      }
    }
  }
  if (dir_list_ != nullptr) dir_list_->SwitchDrive(drive_);
  TCustomComboBox::Change();
}

void TDriveComboBox::Click() {
  TCustomComboBox::Click();
  if (ItemIndex() >= 0 && !Items(ItemIndex()).empty()) SetDriveLetter(Items(ItemIndex())[0]);
}

void TDriveComboBox::SetTextCase(TTextCase Value) {
  text_case_ = Value;
  const char letter = drive_;
  FillDriveList();
  SetDriveLetter(letter);
}

void TDriveComboBox::SetDirList(TDirectoryListBox* Value) {
  if (dir_list_ != nullptr) dir_list_->SetDriveSelector(nullptr);
  dir_list_ = Value;
  if (dir_list_ == nullptr) return;
  dir_list_->SetDriveSelector(this);
  dir_list_->FreeNotification(this);
}

void TDriveComboBox::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomComboBox::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent != nullptr && AComponent == dir_list_) {
    dir_list_ = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Size and drawing.

void TDriveComboBox::ComputeItemHeight() {
  SetItemHeight(std::max(FontLineHeight(Font()), floppy_glyph_->ImageHeight()));
}

void TDriveComboBox::FontChanged() {
  TCustomComboBox::FontChanged();
  ComputeItemHeight();
  RecreateWnd();  // the new window refills the list
}

void TDriveComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas& canvas = Canvas();
  canvas.FillRect(Rect);
  int glyphWidth = kDefaultGlyphWidth;
  auto* glyph = dynamic_cast<TBitmap*>(Objects(Index));
  if (glyph != nullptr && !glyph->IsEmpty()) {
    glyphWidth = glyph->ImageWidth();
    const int height = glyph->ImageHeight();
    const int top = (Rect.Top + Rect.Bottom - height) / 2;  // truncates toward zero
    TCanvas& source = glyph->Canvas();
    canvas.BrushCopy(Bounds(Rect.Left + 2, top, glyphWidth, height), source,
                     lumivane::Rect(0, 0, glyphWidth, height), source.Pixels(0, height - 1));
  }
  const std::string& text = Items(Index);
  canvas.RequiredState({csHandleValid, csFontValid, csBrushValid});
  RECT r{Rect.Left + glyphWidth + 6, Rect.Top, Rect.Right, Rect.Bottom};
  DrawTextA(canvas.Handle(), text.c_str(), static_cast<int>(text.size()), &r,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace lumivane
