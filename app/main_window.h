#pragma once
// The viewer's main window: the browsing panel, the image panel, the status bar, the viewer state,
// the display step and the keyboard commands.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/control_types.h"
#include "framework/form.h"

namespace lumivane {

class TBitmap;
class TPanel;
class TDriveComboBox;
class TDirectoryListBox;
class TFileListBox;
class TFilterComboBox;
class TGIFAnimator;
class TImage;
class TSplitter;
class TStatusBar;
class TTimer;
class TForm2;
class TPicturePreloader;

class TForm1 : public TForm {
 public:
  explicit TForm1(TComponent* AOwner);
  ~TForm1() override;

  // Components, in the order the window declares them.
  TPanel* Panel1 = nullptr;
  TDriveComboBox* DriveComboBox1 = nullptr;
  TDirectoryListBox* DirectoryListBox1 = nullptr;
  TFileListBox* FileListBox1 = nullptr;
  TPanel* Panel2 = nullptr;
  TImage* Image1 = nullptr;
  TSplitter* Splitter1 = nullptr;
  TStatusBar* StatusBar1 = nullptr;
  TGIFAnimator* GIFAnimator1 = nullptr;
  TTimer* Timer1 = nullptr;
  TFilterComboBox* FilterComboBox1 = nullptr;

  // The help window, shown modally by F1.
  TForm2* Form2 = nullptr;

  // Viewer state.
  bool FitToPanel = true;
  int32_t DragOriginX = 0;
  int32_t DragOriginY = 0;
  std::string TargetDirectory;
  bool ShowFileSize = true;
  bool TimedBottomRefresh = false;
  bool SkipNextPanelResize = false;
  std::string VersionCaption = "Lumivane 1.5";

  // The window's texts, kept scrambled (each character's code plus 2).
  static const char* const StoredTitleText;
  static const char* const StoredStatusText;

  // Where the settings are kept: "Lumivane.dat" beside the executable (tests point it elsewhere).
  std::string SettingsPath;

  // Command-line arguments (program form), set before the window is shown.
  void SetCommandLine(std::vector<std::string> arguments) { arguments_ = std::move(arguments); }
  // Decodes the pictures next to the one on display ahead of time (null: every picture is read
  // when shown). The command-line picture may already be under way in it.
  void SetPreloader(std::unique_ptr<TPicturePreloader> preloader);
  TPicturePreloader* Preloader() const { return preloader_.get(); }

  // Event handlers.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormResize(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormDestroy(TObject* Sender);
  void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void FormKeyPress(TObject* Sender, char& Key);
  void FileListBox1Click(TObject* Sender);
  void Panel2Resize(TObject* Sender);
  void Timer1Timer(TObject* Sender);
  void BottomRefresh(TObject* Sender);
  void DirectoryListBox1Change(TObject* Sender);
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Image1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1DblClick(TObject* Sender);
  void Panel2DblClick(TObject* Sender);
  void Panel1Resize(TObject* Sender);
  void GIFAnimator1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void GIFAnimator1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void GIFAnimator1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void GIFAnimator1DblClick(TObject* Sender);

  // Where the Yes/No boxes of the file commands put their top-left corner: centred on the window.
  TPoint DialogAnchor() const;

 private:
  void CreateComponents();
  void CreateBrowsingControls();
  void CreateImageControls();
  void ReadSettings();
  void WriteSettings();
  void OpenCommandLineFile();

  // Leaves the drag state idle: origin 0, 0 and the default cursor.
  void EndDrag();
  void ShowStillImage(const std::string& path);
  // Puts the picture of path into Image1: the one decoded ahead when it is still that file's,
  // else read from the file. Returns the filtered copy made ahead with it for the fitted display,
  // if any.
  std::unique_ptr<TBitmap> LoadStillPicture(const std::string& path);
  // Tells the preloader which pictures to have ready after the one just shown.
  void DecodeAhead(const std::string& shown);
  void ShowGif(const std::string& path);
  void EmptyImageArea();
  void FitLayout(int W0, int H0);
  void NaturalLayout(int W0, int H0);

  void SelectAndShow(int index);
  bool NextFile();
  bool PreviousFile();
  void ZoomIn();
  void ZoomOut();
  void AskSlideShowInterval();
  void ReduceWindow();
  void FullScreenWindow();
  bool ShrinkWindowStep();
  bool GrowWindowStep();
  void RefreshList();

  void DeleteSelectedFile();
  void RenameSelectedFile();
  void AskTargetDirectory();
  void CopySelectedFile();
  void MoveSelectedFile();
  // Checks shared by copy and move; false after telling the user what is missing.
  bool ReadyToTransfer();
  // Asks before a copy or move replaces an existing target; false when the user declines.
  bool MayOverwrite(const std::string& name);
  void ReselectAfterRemoval(int index);

  std::vector<std::string> arguments_;
  std::unique_ptr<TPicturePreloader> preloader_;
  // Set while the command-line picture is shown: its decode, started before the window was
  // built, is waited for rather than done again.
  bool awaitDecodedAhead_ = false;
  // The list position shown last and the direction of travel (+1 or -1): the next picture
  // decoded ahead lies that way.
  int lastShownIndex_ = -1;
  int travel_ = 1;
};

// Restores a stored text: each character's 8-bit code minus 2.
std::string UnshiftText(const std::string& stored);

}  // namespace lumivane
