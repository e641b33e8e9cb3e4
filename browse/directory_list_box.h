#pragma once
// The directory list: one line for each level of the path from the drive root down to the current
// directory, followed by the current directory's subdirectories, each line indented and marked
// with a folder glyph. Opening a line (double click or Enter) makes it the current directory. The
// list moves a linked file list along and can keep a label showing the path shortened to fit.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/custom_list_box.h"
#include "platform/win_types.h"

namespace lumivane {

class TBitmap;
class TCanvas;
class TDriveComboBox;
class TFileListBox;
class TLabel;

class TDirectoryListBox : public TCustomListBox {
 public:
  explicit TDirectoryListBox(TComponent* AOwner);
  ~TDirectoryListBox() override;

  // The directory shown, in the form the platform reports for the current directory.
  const std::string& Directory() const { return directory_; }
  // Accepts a path as typed, a name, or a path with a file name. Switches the drive first
  // (through the linked drive selector when there is one), then enters the directory, rebuilds
  // the lines and reports the change. EInOutError when a directory cannot be made current.
  virtual void SetDirectory(const std::string& NewDir);
  // The first character of Directory.
  char DriveLetter() const { return directory_.empty() ? '\0' : directory_[0]; }

  // Moves to the current directory of another drive (called by the drive selector). A letter
  // equal to DriveLetter in any case does nothing; '\0' keeps the directory but rebuilds.
  void SwitchDrive(char Letter);

  // The file list whose Directory follows this list.
  TFileListBox* FileList() const { return file_list_; }
  void SetFileList(TFileListBox* Value);
  // A label that shows Directory shortened to its width.
  TLabel* DirLabel() const { return dir_label_; }
  void SetDirLabel(TLabel* Value);
  // Fired after every change of directory, also after a drive switch.
  TNotifyEvent OnChange;

  // The full path a line stands for; empty for an index past the lines.
  std::string ItemPath(int Index) const;
  // Makes the selected line's path the directory; nothing happens when no line is selected.
  void OpenSelected();

  // The glyphs the lines refer to; owned by the list.
  TBitmap* OpenFolderGlyph() const { return open_folder_glyph_.get(); }
  TBitmap* ClosedFolderGlyph() const { return closed_folder_glyph_.get(); }
  TBitmap* CurrentFolderGlyph() const { return current_folder_glyph_.get(); }
  // The back-link to the drive selector that feeds this list.
  TDriveComboBox* DriveSelector() const { return drive_selector_; }

 protected:
  // Tells the file list and the label, then fires OnChange.
  virtual void DirectoryChanged();
  virtual void LoadGlyphs();
  // Builds the path lines and the subdirectory lines of Directory (only once the window exists)
  // and refreshes the volume's case flags.
  virtual void RebuildLines();
  // The file-system flags of a drive root (0x1 case-sensitive, 0x2 case-preserving); when the
  // volume cannot be queried the names are taken as case-sensitive and case-preserving.
  virtual DWORD QueryVolumeFlags(const std::string& Root) const;

  bool VolumeKeepsCase() const { return volume_keeps_case_; }
  bool VolumeCaseSensitive() const { return volume_case_sensitive_; }
  // The text a line shows: its name, lower-cased on volumes that neither keep nor respect case.
  std::string DisplayText(int Index) const;

  void CreateWnd() override;
  void DblClick() override;
  void KeyPress(char& Key) override;
  void FontChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;
  int ItemContentWidth(int Index) override;

 private:
  // Where a line's glyph goes: its indent, its width, and the glyph (null when none is drawn).
  struct TLineLayout {
    int Indent;
    int GlyphWidth;
    TBitmap* Glyph;
  };
  TLineLayout LineLayout(int Index) const;
  friend class TDriveComboBox;
  // Set and cleared only by the drive selector.
  void SetDriveSelector(TDriveComboBox* Selector) { drive_selector_ = Selector; }

  // Two directory names compare equal: exactly (in the user's locale) on case-sensitive volumes,
  // with the file-name comparison elsewhere.
  bool SameDirectoryName(const std::string& a, const std::string& b) const;
  void RefreshVolumeFlags();
  void AddPathLines();
  void AddSubdirectoryLines();
  void EnterNewDirectory(const std::string& DirPart);
  void SwitchDriveForDirectory(char Drive);
  void ComputeItemHeight();
  void UpdateLabel();

  std::string directory_;
  TFileListBox* file_list_ = nullptr;
  TLabel* dir_label_ = nullptr;
  TDriveComboBox* drive_selector_ = nullptr;
  bool volume_keeps_case_ = true;
  bool volume_case_sensitive_ = true;
  bool applying_directory_ = false;

  std::unique_ptr<TBitmap> open_folder_glyph_;
  std::unique_ptr<TBitmap> closed_folder_glyph_;
  std::unique_ptr<TBitmap> current_folder_glyph_;
};

// The number of '\' characters in a path: C:\ and C:\Windows have depth 1.
int PathDepth(const std::string& Path);

// Path shortened from the front, one directory at a time ("C:\...\Leaf", "...\Leaf", "Leaf"),
// until it fits MaxWidth pixels in the canvas's font. The last component is never shortened.
std::string ShortenPathForWidth(const std::string& Path, TCanvas& Canvas, int MaxWidth);

// Replaces the first directory of a directory text by "...\": \A\B\C\ becomes \...\B\C\, then
// \...\C\, then \...\; a text without a further directory becomes empty.
void DropFirstDirectory(std::string& S);

}  // namespace lumivane
