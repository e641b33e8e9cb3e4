#include "browse/file_list_box.h"

#include <vector>

#include "browse/path_helpers.h"
#include "framework/edit.h"
#include "framework/exception.h"
#include "framework/screen.h"
#include "framework/sys_utils.h"
#include "framework/text_collation.h"
#include "picture/bitmap.h"
#include "platform/current_directory.h"
#include "platform/directory_listing.h"
#include "platform/file_search.h"
#include "platform/wildcard_pattern.h"
#include "resources/resources.h"

namespace lumivane {

namespace {

constexpr const char* SInvalidFileName = "Invalid file name - %s";

// The pieces of a ';'-separated mask, verbatim: "a;b;" gives "a", "b" and an empty piece.
std::vector<std::string> SplitMask(const std::string& mask) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t end = mask.find(';', start);
    if (end == std::string::npos) {
      pieces.push_back(mask.substr(start));
      return pieces;
    }
    pieces.push_back(mask.substr(start, end - start));
    start = end + 1;
  }
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

// Puts the remembered application cursor back when the fill ends, however it ends.
class TCursorRestorer {
 public:
  TCursorRestorer() : saved_(Screen->Cursor()) {}
  ~TCursorRestorer() { Screen->SetCursor(saved_); }
  TCursorRestorer(const TCursorRestorer&) = delete;
  TCursorRestorer& operator=(const TCursorRestorer&) = delete;

 private:
  TCursor saved_;
};

// Closes a runtime-style search when the block that opened it is left.
class TSearchCloser {
 public:
  explicit TSearchCloser(TSearchRec& rec) : rec_(rec) {}
  ~TSearchCloser() { FindClose(rec_); }
  TSearchCloser(const TSearchCloser&) = delete;
  TSearchCloser& operator=(const TSearchCloser&) = delete;

 private:
  TSearchRec& rec_;
};

// The insertion index at which a long fill shows the hourglass.
constexpr int kHourGlassIndex = 100;

}  // namespace

TFileListBox::TFileListBox(TComponent* AOwner) : TCustomListBox(AOwner) {
  SetWidth(145);
  directory_ = GetCurrentDirectoryA();
  SetMultiSelect(false);
  LoadGlyphs();
  SetSorted(true);
  SetStyle(lbOwnerDrawFixed);
  ComputeItemHeight();
}

TFileListBox::~TFileListBox() {
  // Send the removal notices while the list is still whole, then drop the items (they refer to
  // the glyphs freed with this object).
  BeginDestruction();
  Clear();
}

void TFileListBox::LoadGlyphs() {
  executable_glyph_ = LoadGlyph("EXECUTABLE");
  folder_glyph_ = LoadGlyph("CLOSEDFOLDER");
  unknown_glyph_ = LoadGlyph("UNKNOWNFILE");
}

void TFileListBox::CreateWnd() {
  TCustomListBox::CreateWnd();
  ReadEntries();
}

void TFileListBox::UpdateList() { ReadEntries(); }

int TFileListBox::AttributeMask() const {
  int mask = 0;
  for (TFileAttr attr : {ftReadOnly, ftHidden, ftSystem, ftVolumeID, ftDirectory, ftArchive}) {
    if (file_type_.Contains(attr)) mask |= 1 << attr;
  }
  return mask;
}

void TFileListBox::ReadEntries() {
  if (!HandleAllocated()) return;
  const int attrMask = AttributeMask();
  EnterDirectory(directory_);
  Clear();
  {
    TCursorRestorer cursorRestorer;
    int lastIndex = -1;
    // One pass over the directory serves every wildcard piece of the mask; a plain name is looked
    // up directly, as a search for it would.
    std::shared_ptr<const TDirectoryListing> listing;
    for (const std::string& pattern : SplitMask(mask_)) {
      if (!HasWildcard(pattern)) {
        AddMatches(pattern, attrMask, lastIndex);
        continue;
      }
      if (!listing) listing = TDirectoryListing::Read(directory_);
      if (listing) AddListedMatches(*listing, pattern, attrMask, lastIndex);
    }
  }
  SelectionChanged();
}

void TFileListBox::AddMatches(const std::string& Pattern, int AttrMask, int& LastIndex) {
  TSearchRec rec;
  if (FindFirst(Pattern, AttrMask, rec) != 0) return;
  TSearchCloser closer(rec);
  do {
    AddFound(rec.Name, static_cast<DWORD>(rec.Attr), AttrMask, LastIndex);
  } while (FindNext(rec) == 0);
}

void TFileListBox::AddListedMatches(const TDirectoryListing& Listing, const std::string& Pattern,
                                    int AttrMask, int& LastIndex) {
  const TWildcardPattern wildcard(Pattern);
  // The search itself passes over entries that carry an attribute the mask does not ask for.
  constexpr int skippable = faHidden | faSysFile | faVolumeID | faDirectory;
  const auto excluded = static_cast<DWORD>(~AttrMask & skippable);
  const bool listEverything = file_type_.Contains(ftNormal);
  const DWORD wanted = skippable | (listEverything ? 0 : static_cast<DWORD>(AttrMask));
  for (const TDirectoryListing::TEntry& entry : Listing.Entries()) {
    if (!wildcard.MatchesFolded(entry.Folded)) continue;
    const DWORD attributes = Listing.AttributesOf(entry, wanted);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & excluded) != 0) continue;
    AddFound(entry.Name, attributes, AttrMask, LastIndex);
  }
}

void TFileListBox::AddFound(const std::string& Name, DWORD Attributes, int AttrMask, int& LastIndex) {
  if (file_type_.Contains(ftNormal) || (static_cast<DWORD>(AttrMask) & Attributes) != 0) {
    if (Attributes & FILE_ATTRIBUTE_DIRECTORY) {
      LastIndex = AddItem("[" + Name + "]", show_glyphs_ ? folder_glyph_.get() : nullptr);
    } else {
      LastIndex = AddItem(Name, GlyphForFile(Name));
    }
  }
  if (LastIndex == kHourGlassIndex) Screen->SetCursor(crHourGlass);
}

TBitmap* TFileListBox::GlyphForFile(const std::string& Name) const {
  const std::string ext = TTextCollation::Lower(ExtractFileExt(Name));
  if (ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".pif") {
    return executable_glyph_.get();
  }
  return unknown_glyph_.get();
}

void TFileListBox::SelectionChanged() {
  last_selection_ = ItemIndex();
  ShowSelectionInEdit(true);
  Fire(OnChange, this);
}

void TFileListBox::ShowSelectionInEdit(bool SelectAll) {
  if (!file_edit_) return;
  const std::string name = SelectedName();
  file_edit_->SetText(name.empty() ? mask_ : name);
  if (SelectAll) file_edit_->SelectAll();
}

void TFileListBox::Click() {
  TCustomListBox::Click();
  if (ItemIndex() != last_selection_) SelectionChanged();
}

std::string TFileListBox::SelectedName() const {
  const int index = ItemIndex();
  if (index >= 0 && Count() > 0 && Selected(index)) return Items(index);
  return "";
}

void TFileListBox::SetSelectedName(const std::string& NewName) {
  if (SameFileName(NewName, SelectedName())) return;
  SetItemIndex(FindStringExact(0, NewName));
  SelectionChanged();
}

std::string TFileListBox::SelectedPath() const {
  const std::string name = SelectedName();
  return name.empty() ? "" : JoinPath(directory_, name);
}

void TFileListBox::ApplyPathText(const std::string& Text) {
  if (Text.empty() || SameFileName(Text, SelectedPath())) return;
  const TPathInput parts = SplitPathInput(Text);
  if (apply_directory_) {
    apply_directory_(Text);  // the directory list splits the text itself and moves this list
  } else if (parts.Drive != 0) {
    SetDirectory(Format("%c:%s", parts.Drive, parts.DirPart.c_str()));
  } else {
    SetDirectory(parts.DirPart);
  }

  const std::string& name = parts.NamePart;
  if (HasWildcard(name)) {
    SetMask(name);
    return;
  }
  if (name.empty()) return;
  SetSelectedName(name);
  if (!IsExistingFile(JoinPath(directory_, name))) {
    throw EInvalidOperation(Format(SInvalidFileName, Text.c_str()));
  }
  if (SelectedName().empty()) {
    // The file exists but the mask hides it: list exactly that file, selected.
    SetMask(name);
    SetSelectedName(name);
  }
}

void TFileListBox::SetDirectory(const std::string& NewDir) {
  if (SameFileName(NewDir, directory_)) return;
  // A relative NewDir is taken relative to the directory shown.
  if (IsExistingDirectory(directory_)) EnterDirectory(directory_);
  EnterDirectory(NewDir);
  directory_ = GetCurrentDirectoryA();
  ReadEntries();
}

void TFileListBox::SetMask(const std::string& Value) {
  if (Value == mask_) return;
  mask_ = Value;
  ReadEntries();
}

void TFileListBox::SetFileType(TFileType Value) {
  if (Value == file_type_) return;
  file_type_ = Value;
  ReadEntries();
}

void TFileListBox::SetShowGlyphs(bool Value) {
  if (Value == show_glyphs_) return;
  show_glyphs_ = Value;
  if (show_glyphs_ && ItemHeight() < executable_glyph_->ImageHeight() + 1) ComputeItemHeight();
  Invalidate();
}

void TFileListBox::SetFileEdit(TEdit* Value) {
  file_edit_ = Value;
  if (!file_edit_) return;
  file_edit_->FreeNotification(this);
  ShowSelectionInEdit(false);
}

void TFileListBox::ComputeItemHeight() {
  int height = FontLineHeight(Font());
  const int glyphHeight = executable_glyph_->ImageHeight() + 1;
  if (show_glyphs_ && height < glyphHeight) height = glyphHeight;
  SetItemHeight(height);
}

void TFileListBox::FontChanged() {
  TCustomListBox::FontChanged();
  ComputeItemHeight();
}

void TFileListBox::LinkDirList(TDirectoryListBox* List, TComponent* ListComponent,
                               std::function<void(const std::string&)> ApplyDirectory) {
  dir_list_ = List;
  dir_list_component_ = ListComponent;
  apply_directory_ = std::move(ApplyDirectory);
}

void TFileListBox::LinkFilterCombo(TFilterComboBox* Combo, TComponent* ComboComponent) {
  filter_combo_ = Combo;
  filter_combo_component_ = ComboComponent;
}

void TFileListBox::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomListBox::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove || AComponent == nullptr) return;
  if (AComponent == file_edit_) file_edit_ = nullptr;
  if (AComponent == dir_list_component_) SetDirList(nullptr);
  if (AComponent == filter_combo_component_) SetFilterCombo(nullptr);
}

TBitmap* TFileListBox::ItemGlyph(int Index) const {
  TBitmap* glyph = show_glyphs_ ? dynamic_cast<TBitmap*>(Objects(Index)) : nullptr;
  return glyph != nullptr && !glyph->IsEmpty() ? glyph : nullptr;
}

int TFileListBox::TextOffset(int Index) const {
  TBitmap* glyph = ItemGlyph(Index);
  return glyph != nullptr ? glyph->ImageWidth() + 6 : 2;
}

void TFileListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
  TCanvas& canvas = Canvas();
  canvas.FillRect(Rect);
  if (TBitmap* glyph = ItemGlyph(Index)) {
    const int width = glyph->ImageWidth();
    const int height = glyph->ImageHeight();
    // Integer division truncates toward zero, as the centring rule asks.
    const int top = (Rect.Top + Rect.Bottom - height) / 2;
    TCanvas& source = glyph->Canvas();
    canvas.BrushCopy(Bounds(Rect.Left + 2, top, width, height), source, lumivane::Rect(0, 0, width, height),
                     source.Pixels(0, height - 1));
  }
  canvas.TextOut(Rect.Left + TextOffset(Index), Rect.Top, Items(Index));
}

int TFileListBox::ItemContentWidth(int Index) {
  TCanvas& canvas = Canvas();
  canvas.Font().AssignFrom(&Font());
  return TextOffset(Index) + canvas.TextWidth(Items(Index));
}

}  // namespace lumivane
