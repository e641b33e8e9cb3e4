#pragma once
// The file list: a sorted list box showing the entries of one directory that match a list of
// wildcard masks, optionally with a glyph before each name. It works through the process's current
// directory: after any refill the current directory is the list's Directory.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "browse/file_type.h"
#include "framework/custom_list_box.h"
#include "platform/win_types.h"

namespace lumivane {

class TBitmap;
class TDirectoryListBox;
class TDirectoryListing;
class TEdit;
class TFilterComboBox;

class TFileListBox : public TCustomListBox {
 public:
  explicit TFileListBox(TComponent* AOwner);
  ~TFileListBox() override;

  // ';'-separated wildcard patterns, default "*.*". Setting a different text (compared exactly)
  // refills the list.
  const std::string& Mask() const { return mask_; }
  void SetMask(const std::string& Value);
  // The kinds of entries listed, default [ftNormal]. A different set refills the list.
  TFileType FileType() const { return file_type_; }
  void SetFileType(TFileType Value);
  // Draw a glyph before each name (default off).
  bool ShowGlyphs() const { return show_glyphs_; }
  void SetShowGlyphs(bool Value);
  // An edit box that mirrors the selected name (or the mask when nothing is selected).
  TEdit* FileEdit() const { return file_edit_; }
  void SetFileEdit(TEdit* Value);
  // Fired after every refill and every change of selection.
  TNotifyEvent OnChange;

  // The directory shown, in the form the platform reports for the current directory. Setting it
  // makes it current (EInOutError when that fails; nothing changes then) and refills the list.
  const std::string& Directory() const { return directory_; }
  void SetDirectory(const std::string& NewDir);

  // The selected item's text, or empty. Setting a name (any letter case) selects its item, or
  // clears the selection when it is not listed; OnChange fires either way.
  std::string SelectedName() const;
  void SetSelectedName(const std::string& NewName);
  // Directory joined with SelectedName, or empty when nothing is selected.
  virtual std::string SelectedPath() const;
  // Accepts a typed path, name or mask: moves to its directory, then sets the mask or selects the
  // file. EInvalidOperation "Invalid file name - %s" when the named file does not exist.
  virtual void ApplyPathText(const std::string& Text);

  // Reads the directory again.
  void UpdateList();

  // The glyphs the items refer to; owned by the list.
  TBitmap* ExecutableGlyph() const { return executable_glyph_.get(); }
  TBitmap* FolderGlyph() const { return folder_glyph_.get(); }
  TBitmap* UnknownGlyph() const { return unknown_glyph_.get(); }

  // ---- links kept by the controls that feed this list -----------------------------------------
  // Set and cleared only by the directory list: ApplyPathText hands typed paths to its Directory
  // setter. The directory list passes itself, so its type is complete where the link is made.
  TDirectoryListBox* DirList() const { return dir_list_; }
  template <typename DirectoryList>
  void SetDirList(DirectoryList* List) {
    LinkDirList(List, List, [List](const std::string& Path) { List->SetDirectory(Path); });
  }
  void SetDirList(std::nullptr_t) { LinkDirList(nullptr, nullptr, nullptr); }
  // Set and cleared only by the filter selector.
  TFilterComboBox* FilterCombo() const { return filter_combo_; }
  template <typename FilterSelector>
  void SetFilterCombo(FilterSelector* Combo) {
    LinkFilterCombo(Combo, Combo);
  }
  void SetFilterCombo(std::nullptr_t) { LinkFilterCombo(nullptr, nullptr); }

 protected:
  // Creates the three glyph bitmaps from the program's resources.
  virtual void LoadGlyphs();
  // Records the selection, updates the edit box, fires OnChange.
  virtual void SelectionChanged();
  // Fills the list from Directory and Mask; does nothing before the window exists.
  virtual void ReadEntries();

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void CreateWnd() override;
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;
  int ItemContentWidth(int Index) override;
  void Click() override;
  void FontChanged() override;

  // The current index at the last SelectionChanged (-1 at first).
  int LastSelection() const { return last_selection_; }

  // The links as the removal notification sees them: the linked control as a component, and for
  // the directory list the way to hand it a typed path.
  void LinkDirList(TDirectoryListBox* List, TComponent* ListComponent,
                   std::function<void(const std::string&)> ApplyDirectory);
  void LinkFilterCombo(TFilterComboBox* Combo, TComponent* ComboComponent);

 private:
  // The search attribute mask: the attribute bits of every FileType member but ftNormal.
  int AttributeMask() const;
  // Adds the matches of one mask piece; Lastindex is the index the latest addition returned.
  void AddMatches(const std::string& Pattern, int AttrMask, int& LastIndex);
  // The same for a wildcard piece, over a listing read once per fill.
  void AddListedMatches(const TDirectoryListing& Listing, const std::string& Pattern, int AttrMask,
                        int& LastIndex);
  // Lists one entry the search found (a folder as "[name]") when the file types ask for its
  // attributes, and shows the hourglass while the latest addition went in at index 100.
  void AddFound(const std::string& Name, DWORD Attributes, int AttrMask, int& LastIndex);
  // The glyph a non-directory entry gets from its extension.
  TBitmap* GlyphForFile(const std::string& Name) const;
  void ComputeItemHeight();
  void ShowSelectionInEdit(bool SelectAll);
  // The glyph drawn before an item (null when none is drawn) and where the item's text begins.
  TBitmap* ItemGlyph(int Index) const;
  int TextOffset(int Index) const;

  std::string mask_ = "*.*";
  TFileType file_type_{ftNormal};
  bool show_glyphs_ = false;
  TEdit* file_edit_ = nullptr;
  std::string directory_;
  int last_selection_ = -1;

  TDirectoryListBox* dir_list_ = nullptr;
  TComponent* dir_list_component_ = nullptr;
  std::function<void(const std::string&)> apply_directory_;
  TFilterComboBox* filter_combo_ = nullptr;
  TComponent* filter_combo_component_ = nullptr;

  std::unique_ptr<TBitmap> executable_glyph_;
  std::unique_ptr<TBitmap> folder_glyph_;
  std::unique_ptr<TBitmap> unknown_glyph_;
};

}  // namespace lumivane
