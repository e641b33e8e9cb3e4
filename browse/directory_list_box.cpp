#include "browse/directory_list_box.h"

#include <QtCore/QCollatorSortKey>

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "browse/drive_combo_box.h"
#include "browse/file_list_box.h"
#include "browse/path_helpers.h"
#include "framework/canvas.h"
#include "framework/label.h"
#include "framework/sys_utils.h"
#include "framework/text_collation.h"
#include "picture/bitmap.h"
#include "platform/current_directory.h"
#include "platform/directory_listing.h"
#include "platform/volume_info.h"
#include "resources/resources.h"

namespace lumivane {

namespace {

constexpr int kIndentStep = 4;
constexpr int kIndentBase = 2;
constexpr int kDefaultGlyphWidth = 16;

// A subdirectory name with its two collation keys, computed once for the sort.
struct TKeyedName {
  std::string Name;
  QCollatorSortKey CaseBlind;
  QCollatorSortKey WithCase;
};

bool SameDriveLetter(char a, char b) {
  return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

}  // namespace

int PathDepth(const std::string& Path) {
  // UTF-8 never uses the byte of '\' inside a multi-byte character, so a byte scan is safe.
  return static_cast<int>(std::count(Path.begin(), Path.end(), '\\'));
}

// ---------------------------------------------------------------------------------------------
// Construction and links.

TDirectoryListBox::TDirectoryListBox(TComponent* AOwner) : TCustomListBox(AOwner) {
  SetWidth(145);
  SetStyle(lbOwnerDrawFixed);
  SetSorted(false);
  LoadGlyphs();
  directory_ = GetCurrentDirectoryA();
  RefreshVolumeFlags();
  ComputeItemHeight();
}

TDirectoryListBox::~TDirectoryListBox() {
  // The removal notices go out while the list is whole; the lines refer to the glyphs.
  BeginDestruction();
  Clear();
}

void TDirectoryListBox::LoadGlyphs() {
  open_folder_glyph_ = LoadGlyph("OPENFOLDER");
  closed_folder_glyph_ = LoadGlyph("CLOSEDFOLDER");
  current_folder_glyph_ = LoadGlyph("CURRENTFOLDER");
}

void TDirectoryListBox::CreateWnd() {
  TCustomListBox::CreateWnd();
  RebuildLines();
  // At a drive root this selects the first subdirectory rather than the root's own line.
  SetItemIndex(PathDepth(directory_));
}

void TDirectoryListBox::SetFileList(TFileListBox* Value) {
  if (file_list_ != nullptr) file_list_->SetDirList(nullptr);
  file_list_ = Value;
  if (file_list_ == nullptr) return;
  file_list_->SetDirList(this);
  file_list_->FreeNotification(this);
}

void TDirectoryListBox::SetDirLabel(TLabel* Value) {
  dir_label_ = Value;
  if (dir_label_ != nullptr) dir_label_->FreeNotification(this);
  UpdateLabel();
}

void TDirectoryListBox::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomListBox::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove || AComponent == nullptr) return;
  if (AComponent == file_list_) file_list_ = nullptr;
  if (AComponent == dir_label_) dir_label_ = nullptr;
  if (drive_selector_ != nullptr && AComponent == static_cast<TComponent*>(drive_selector_)) {
    drive_selector_ = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Volume and names.

DWORD TDirectoryListBox::QueryVolumeFlags(const std::string& Root) const {
  DWORD flags = 0;
  if (!GetVolumeInformationA(Root, nullptr, &flags)) {
    return FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES;
  }
  return flags;
}

void TDirectoryListBox::RefreshVolumeFlags() {
  const DWORD flags = QueryVolumeFlags(ExtractFileDrive(directory_) + "\\");
  volume_keeps_case_ = (flags & 3) != 0;
  volume_case_sensitive_ = (flags & 1) != 0;
}

bool TDirectoryListBox::SameDirectoryName(const std::string& a, const std::string& b) const {
  if (volume_case_sensitive_) return TTextCollation::CompareWithCase(a, b) == 0;
  return SameFileName(a, b);
}

std::string TDirectoryListBox::DisplayText(int Index) const {
  const std::string& text = Items(Index);
  if (volume_keeps_case_ || volume_case_sensitive_) return text;
  return TTextCollation::Lower(text);
}

// ---------------------------------------------------------------------------------------------
// Lines.

void TDirectoryListBox::RebuildLines() {
  RefreshVolumeFlags();
  if (!HandleAllocated()) return;  // the lines live in the window
  Clear();
  AddPathLines();
  const int newSelection = Count() - 1;
  AddSubdirectoryLines();
  SetItemIndex(newSelection);
}

void TDirectoryListBox::AddPathLines() {
  const std::string root = ExtractFileDrive(directory_) + "\\";
  int counter = 0;
  std::string rest = directory_;
  if (root.size() > 1 && root[1] == '\\') {
    // A network share: its root is a line of its own.
    AddItem(root, open_folder_glyph_.get());
    counter = 1;
    rest = directory_.size() > root.size() ? directory_.substr(root.size()) : std::string();
  }
  if (rest.empty()) return;
  if (rest.back() != '\\') {
    for (size_t slash = rest.find('\\'); slash != std::string::npos; slash = rest.find('\\')) {
      std::string piece = rest.substr(0, slash);
      if (counter == 0) piece += '\\';  // the drive line reads like C:\ .
      rest.erase(0, slash + 1);
      AddItem(piece, open_folder_glyph_.get());
      ++counter;
    }
  }
  // At a drive root Rest is the whole root, whose single line is the current directory.
  AddItem(rest, current_folder_glyph_.get());
}

void TDirectoryListBox::AddSubdirectoryLines() {
  // The subdirectories a search for "*.*" with the directory attribute returns: hidden and
  // system entries are passed over, and so are "." and "..".
  std::vector<std::string> names;
  if (const auto listing = TDirectoryListing::Read(directory_)) {
    constexpr DWORD wanted = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (const TDirectoryListing::TEntry& entry : listing->Entries()) {
      if (entry.Name == "." || entry.Name == "..") continue;
      if (entry.Type != DT_DIR && entry.Type != DT_LNK && entry.Type != DT_UNKNOWN) continue;
      const DWORD attributes = listing->AttributesOf(entry, wanted);
      if (attributes == INVALID_FILE_ATTRIBUTES) continue;
      if ((attributes & wanted) == FILE_ATTRIBUTE_DIRECTORY) names.push_back(entry.Name);
    }
  }
  // Case-blind locale order; names differing only in case (possible on a case-sensitive volume)
  // are different directories, so both are listed.
  std::vector<TKeyedName> keyed;
  keyed.reserve(names.size());
  for (std::string& name : names) {
    QCollatorSortKey caseBlind = TTextCollation::KeyIgnoringCase(name);
    QCollatorSortKey withCase = TTextCollation::KeyWithCase(name);
    keyed.push_back(TKeyedName{std::move(name), std::move(caseBlind), std::move(withCase)});
  }
  std::sort(keyed.begin(), keyed.end(), [](const TKeyedName& a, const TKeyedName& b) {
    if (const int order = a.CaseBlind.compare(b.CaseBlind); order != 0) return order < 0;
    if (const int order = a.WithCase.compare(b.WithCase); order != 0) return order < 0;
    return a.Name < b.Name;  // only identical names are the same
  });
  names.clear();
  for (TKeyedName& entry : keyed) names.push_back(std::move(entry.Name));
  names.erase(
      std::unique(names.begin(), names.end(),
                  [this](const std::string& a, const std::string& b) { return SameDirectoryName(a, b); }),
      names.end());
  for (const std::string& name : names) AddItem(name, closed_folder_glyph_.get());
}

std::string TDirectoryListBox::ItemPath(int Index) const {
  if (Index < 0 || Index >= Count()) return "";
  const std::string drive = ExtractFileDrive(directory_);
  if (Index == 0) return drive + "\\";
  TObject* glyph = Objects(Index);
  if (glyph == closed_folder_glyph_.get()) return JoinPath(directory_, Items(Index));
  if (glyph == current_folder_glyph_.get()) return directory_;
  // A level of the path: the text before the (Index + 1)-th backslash after the drive.
  const std::string rest = directory_.substr(drive.size());
  int seen = 0;
  size_t end = 0;
  for (; end < rest.size(); ++end) {
    if (rest[end] == '\\' && ++seen == Index + 1) break;
  }
  return drive + rest.substr(0, end);
}

void TDirectoryListBox::OpenSelected() {
  if (ItemIndex() < 0) return;
  SetDirectory(ItemPath(ItemIndex()));
}

void TDirectoryListBox::DblClick() {
  TCustomListBox::DblClick();
  OpenSelected();
}

void TDirectoryListBox::KeyPress(char& Key) {
  TCustomListBox::KeyPress(Key);
  if (Key == '\r') OpenSelected();
}

// ---------------------------------------------------------------------------------------------
// Changing the directory.

void TDirectoryListBox::SetDirectory(const std::string& NewDir) {
  if (NewDir.empty() || SameDirectoryName(NewDir, directory_)) return;
  const TPathInput parts = SplitPathInput(NewDir);
  const std::string previous = directory_;
  if (DriveLetter() != parts.Drive) SwitchDriveForDirectory(parts.Drive);
  try {
    EnterNewDirectory(parts.DirPart);
  } catch (...) {
    // The drive switch may have moved Directory already; the list keeps showing the old one.
    if (directory_ != previous) {
      directory_ = previous;
      if (IsExistingDirectory(previous)) SetCurrentDirectoryA(previous);
    }
    throw;
  }
  RebuildLines();
  DirectoryChanged();
}

void TDirectoryListBox::SwitchDriveForDirectory(char Drive) {
  applying_directory_ = true;
  try {
    if (drive_selector_ != nullptr) drive_selector_->SetDriveLetter(Drive);  // calls SwitchDrive
    // A selector that already showed that drive (after an earlier failed switch) does not call
    // back; the directory part carries no drive, so the switch must happen here.
    SwitchDrive(Drive);  // does nothing when the selector has switched already
  } catch (...) {
    applying_directory_ = false;
    throw;
  }
  applying_directory_ = false;
}

void TDirectoryListBox::EnterNewDirectory(const std::string& DirPart) {
  if (IsExistingDirectory(directory_)) EnterDirectory(directory_);
  EnterDirectory(DirPart);
  directory_ = GetCurrentDirectoryA();
}

void TDirectoryListBox::SwitchDrive(char Letter) {
  if (SameDriveLetter(Letter, DriveLetter())) return;
  if (Letter != '\0') {
    EnterDirectory(std::string(1, Letter) + ":");  // that drive's own current directory
    directory_ = GetCurrentDirectoryA();
  }
  if (applying_directory_) return;  // the Directory setter rebuilds once, afterwards
  RebuildLines();
  DirectoryChanged();
}

void TDirectoryListBox::DirectoryChanged() {
  if (file_list_ != nullptr) file_list_->SetDirectory(directory_);
  UpdateLabel();
  Fire(OnChange, this);
}

// ---------------------------------------------------------------------------------------------
// Label.

void TDirectoryListBox::UpdateLabel() {
  if (dir_label_ == nullptr) return;
  const int maxWidth = dir_label_->AutoSize() ? Width() : dir_label_->Width();
  TCanvas& canvas = dir_label_->Canvas();
  canvas.Font().AssignFrom(&dir_label_->Font());
  dir_label_->SetCaption(ShortenPathForWidth(directory_, canvas, maxWidth));
}

void DropFirstDirectory(std::string& S) {
  if (S == "\\") {
    S.clear();
    return;
  }
  const bool rooted = !S.empty() && S[0] == '\\';
  if (rooted) S.erase(0, 1);
  if (!S.empty() && S[0] == '.') S.erase(0, std::min<size_t>(4, S.size()));  // a leading "...\"
  const size_t slash = S.find('\\');
  if (slash != std::string::npos) {
    S = "...\\" + S.substr(slash + 1);
  } else {
    S.clear();
  }
  if (rooted) S.insert(0, "\\");
}

std::string ShortenPathForWidth(const std::string& Path, TCanvas& Canvas, int MaxWidth) {
  std::string result = Path;
  const size_t split = Path.find_last_of("\\:");
  std::string dir = split == std::string::npos ? std::string() : Path.substr(0, split + 1);
  const std::string name = split == std::string::npos ? Path : Path.substr(split + 1);
  std::string drive;
  if (dir.size() >= 2 && dir[1] == ':') {
    drive = dir.substr(0, 2);
    dir.erase(0, 2);
  }
  while ((!dir.empty() || !drive.empty()) && Canvas.TextWidth(result) > MaxWidth) {
    if (dir == "\\...\\") {
      drive.clear();
      dir = "...\\";
    } else if (dir.empty()) {
      drive.clear();
    } else {
      DropFirstDirectory(dir);
    }
    result = drive + dir + name;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// Drawing.

void TDirectoryListBox::ComputeItemHeight() {
  const int glyphHeight = open_folder_glyph_->ImageHeight() + 1;
  SetItemHeight(std::max(FontLineHeight(Font()), glyphHeight));
}

void TDirectoryListBox::FontChanged() {
  TCustomListBox::FontChanged();
  ComputeItemHeight();
}

TDirectoryListBox::TLineLayout TDirectoryListBox::LineLayout(int Index) const {
  TLineLayout layout{Index * kIndentStep + kIndentBase, kDefaultGlyphWidth, nullptr};
  auto* glyph = dynamic_cast<TBitmap*>(Objects(Index));
  if (glyph != nullptr && !glyph->IsEmpty()) {
    // All subdirectories share one indent, one step deeper than the current directory's line.
    if (glyph == closed_folder_glyph_.get()) {
      layout.Indent = (PathDepth(directory_) + 1) * kIndentStep + kIndentBase;
    }
    layout.GlyphWidth = glyph->ImageWidth();
    layout.Glyph = glyph;
  }
  return layout;
}

void TDirectoryListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas& canvas = Canvas();
  canvas.FillRect(Rect);
  const TLineLayout layout = LineLayout(Index);
  if (TBitmap* glyph = layout.Glyph) {
    const int height = glyph->ImageHeight();
    const int top = (Rect.Top + Rect.Bottom - height) / 2;  // truncates toward zero
    TCanvas& source = glyph->Canvas();
    canvas.BrushCopy(Bounds(Rect.Left + layout.Indent, top, layout.GlyphWidth, height), source,
                     lumivane::Rect(0, 0, layout.GlyphWidth, height), source.Pixels(0, height - 1));
  }
  canvas.TextOut(Rect.Left + layout.GlyphWidth + layout.Indent + 4, Rect.Top, DisplayText(Index));
}

int TDirectoryListBox::ItemContentWidth(int Index) {
  const TLineLayout layout = LineLayout(Index);
  TCanvas& canvas = Canvas();
  canvas.Font().AssignFrom(&Font());
  return layout.GlyphWidth + layout.Indent + 4 + canvas.TextWidth(DisplayText(Index));
}

}  // namespace lumivane
