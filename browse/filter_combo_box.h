#pragma once
// The file-type filter selector: a drop-down list of named filters. Each entry pairs a description
// shown to the user with a ';'-separated mask list; choosing an entry sets the linked file list's
// Mask.
#include <memory>
#include <string>

#include "framework/custom_combo_box.h"

namespace lumivane {

class TFileListBox;
class TStringList;

class TFilterComboBox : public TCustomComboBox {
 public:
  explicit TFilterComboBox(TComponent* AOwner);
  ~TFilterComboBox() override;

  // The text every new selector starts with.
  static constexpr const char* DefaultFilter = "All files (*.*)|*.*";

  // Descriptions and masks alternating, separated by '|'. A text equal to the current one under
  // the file-name comparison is ignored; another one rebuilds the entries (once the window
  // exists) and runs the change handling.
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& Value);
  // Whether form data would store Filter: only when it differs from the default text.
  bool FilterStored() const { return filter_ != DefaultFilter; }

  // The file list whose Mask follows the selection. Linking does not push the mask.
  TFileListBox* FileList() const { return file_list_; }
  void SetFileList(TFileListBox* Value);

  // The selected entry's mask. With nothing selected the last entry is selected first; with no
  // entries at all the mask is "*.*".
  std::string Mask();

 protected:
  // Parses Filter into the entries and selects the first one, without the change handling.
  void FillFilterList();

  void CreateWnd() override;
  // Sets the file list's Mask, then fires OnChange.
  void Change() override;
  void Click() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  std::string filter_ = DefaultFilter;
  TFileListBox* file_list_ = nullptr;
  std::unique_ptr<TStringList> pattern_list_;  // one mask per entry, in entry order
};

}  // namespace lumivane
