#pragma once
// The drive selector: a drop-down list of the drives the system reports, each with a glyph for its
// kind and, for most kinds, its volume label or network name. Choosing a drive moves the linked
// directory list to that drive's current directory.
#include <memory>
#include <string>

#include "framework/custom_combo_box.h"

namespace lumivane {

class TBitmap;
class TDirectoryListBox;

// Letter case of the drive letters, volume labels and network names.
enum TTextCase { tcLowerCase, tcUpperCase };

class TDriveComboBox : public TCustomComboBox {
 public:
  explicit TDriveComboBox(TComponent* AOwner);
  ~TDriveComboBox() override;

  // The selected drive's letter in the case TextCase chooses, or '\0' for none (the current
  // directory is on a network share). Setting it selects the drive's item (the selection stays
  // when there is none), tells the directory list and fires OnChange; the selected letter in the
  // other case does nothing.
  char DriveLetter() const { return drive_; }
  void SetDriveLetter(char NewLetter);

  TTextCase TextCase() const { return text_case_; }
  // Refills the list in the new case and selects the drive again (OnChange fires).
  void SetTextCase(TTextCase Value);

  // The directory list moved when the drive changes.
  TDirectoryListBox* DirList() const { return dir_list_; }
  void SetDirList(TDirectoryListBox* Value);

  // The glyphs the items refer to; owned by the selector.
  TBitmap* FloppyGlyph() const { return floppy_glyph_.get(); }
  TBitmap* FixedGlyph() const { return fixed_glyph_.get(); }
  TBitmap* NetworkGlyph() const { return network_glyph_.get(); }
  TBitmap* CDROMGlyph() const { return cdrom_glyph_.get(); }
  TBitmap* RAMGlyph() const { return ram_glyph_.get(); }

  // "[label]" of a drive, in the letter's case; "[]" when the volume cannot be read.
  static std::string DriveVolumeLabel(char Letter);
  // The remote name of a mapped drive in the letter's case, else DriveVolumeLabel.
  static std::string DriveNetworkName(char Letter);

 protected:
  // Lists every drive the system reports, in letter order.
  virtual void FillDriveList();
  void LoadGlyphs();

  void CreateWnd() override;
  void DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) override;
  void Click() override;
  void FontChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void ComputeItemHeight();
  char InTextCase(char Letter) const;

  char drive_ = '\0';
  TTextCase text_case_ = tcLowerCase;
  TDirectoryListBox* dir_list_ = nullptr;

  std::unique_ptr<TBitmap> floppy_glyph_;
  std::unique_ptr<TBitmap> fixed_glyph_;
  std::unique_ptr<TBitmap> network_glyph_;
  std::unique_ptr<TBitmap> cdrom_glyph_;
  std::unique_ptr<TBitmap> ram_glyph_;
};

}  // namespace lumivane
