#include "app/main_window.h"

#include <algorithm>
#include <array>

#include "app/help_window.h"
#include "app/picture_preloader.h"
#include "app/settings_file.h"
#include "browse/directory_list_box.h"
#include "browse/drive_combo_box.h"
#include "browse/file_list_box.h"
#include "browse/filter_combo_box.h"
#include "browse/path_helpers.h"
#include "framework/application.h"
#include "framework/dialogs.h"
#include "framework/exception.h"
#include "framework/panel.h"
#include "framework/screen.h"
#include "framework/splitter.h"
#include "framework/status_bar.h"
#include "framework/sys_utils.h"
#include "framework/timer.h"
#include "gif/gif_animator.h"
#include "gif/gif_image.h"
#include "picture/icon.h"
#include "picture/image.h"
#include "picture/jpeg_image.h"
#include "picture/picture.h"
#include "platform/directory_listing.h"
#include "platform/file_handle.h"
#include "platform/file_identity.h"
#include "platform/file_operations.h"
#include "platform/path_conversion.h"

namespace lumivane {

// "Picture viewer for the keyboard: step, zoom, slide show, rename, copy, move, sort."
const char* const TForm1::StoredTitleText =
    "Rkevwtg\"xkgygt\"hqt\"vjg\"mg{dqctf<\"uvgr.\"|qqo.\"unkfg\"ujqy.\"tgpcog.\"eqr{.\"oqxg.\"uqtv0";
// "Press F1 for the keys."
const char* const TForm1::StoredStatusText = "Rtguu\"H3\"hqt\"vjg\"mg{u0";

std::string UnshiftText(const std::string& stored) {
  std::string plain;
  plain.reserve(stored.size());
  for (char c : stored) plain += static_cast<char>(static_cast<uint8_t>(c) - 2);
  return plain;
}

namespace {
constexpr const char* kViewerMask = "*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico";
constexpr const char* kViewerFilter =
    "*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico|*.bmp;*.jpg;*.jpeg;*.jpe;*.gif;*.ico|*.bmp|*.bmp|"
    "*.jpg;*.jpeg;*.jpe|*.jpg;*.jpeg;*.jpe|*.gif|*.gif|*.ico|*.ico|All files (*.*)|*.*";

// The smallest window the settings file may give: one step of the shrink key, so that the window
// always appears and can be grabbed. A smaller (zero, negative) stored size is taken as this.
constexpr int kMinimumWindowWidth = 80;
constexpr int kMinimumWindowHeight = 60;

// Pictures that decode only when first drawn are decoded here, so that bad data fails while
// the display step can still empty the control instead of failing later in a paint.
void DecodeForDisplay(TGraphic* graphic) {
  if (auto* jpeg = dynamic_cast<TJPEGImage*>(graphic)) {
    jpeg->DecodeBitmap();
  } else if (auto* icon = dynamic_cast<TIcon*>(graphic)) {
    icon->IconHandle();
  }
}

// Integer halving truncated toward zero, as every layout rule of the window uses.
int Half(int value) { return value / 2; }

// Where a picture of W0 x H0 goes in a panel of PW x PH when fitted: shrunk to the panel's width
// or height, keeping its proportions, and centred; a picture that fits is centred at its size.
TRect FittedBounds(int W0, int H0, int PW, int PH) {
  const float r = static_cast<float>(W0) / static_cast<float>(H0);
  const double ratio = r;
  int width = W0;
  int height = H0;
  int left;
  int top;
  auto fitWidth = [&] {
    width = PW;
    height = static_cast<int>(width / ratio);
    top = Half(PH - height);
    left = 0;
  };
  auto fitHeight = [&] {
    height = PH;
    width = static_cast<int>(height * ratio);
    top = 0;
    left = Half(PW - width);
  };
  if (PW < W0) {
    fitWidth();
    if (PH < height) fitHeight();
  } else if (PH < H0) {
    fitHeight();
    if (PW < width) fitWidth();
  } else {
    top = Half(PH - H0);
    left = Half(PW - W0);
  }
  return Bounds(left, top, width, height);
}

// The byte size of a file as a signed 32-bit number; 0 when it cannot be opened or measured.
int32_t FileSize32(const std::string& path) {
  const int handle = FileOpen(path, 0);
  if (handle < 0) return 0;
  const int64_t end = FileSeek(handle, 0, 2);
  FileClose(handle);
  return end < 0 ? 0 : static_cast<int32_t>(static_cast<uint32_t>(end));
}
}  // namespace

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner), SettingsPath(SettingsFilePath()) {
  SetName("Form1");
  SetCaption("Lumivane");
  SetBounds(192, 107, 544, 400);
  SetColor(clBtnFace);
  KeyPreview = true;
  CreateComponents();
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
  OnDestroy = [this](TObject* s) { FormDestroy(s); };
  OnKeyDown = [this](TObject* s, uint16_t& k, TShiftState sh) { FormKeyDown(s, k, sh); };
  OnKeyPress = [this](TObject* s, char& k) { FormKeyPress(s, k); };
}

TForm1::~TForm1() = default;

void TForm1::SetPreloader(std::unique_ptr<TPicturePreloader> preloader) { preloader_ = std::move(preloader); }

void TForm1::CreateComponents() {
  // The layout as designed: positions relative to the parent, anchors as stored. The align pass
  // fits it to the window once the window's bounds are set.
  DisableAlign();
  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetBounds(0, 0, 157, 354);
  Panel1->SetAlign(alLeft);
  Panel1->SetTabOrder(0);
  Panel1->OnResize = [this](TObject* s) { Panel1Resize(s); };
  CreateBrowsingControls();

  Splitter1 = new TSplitter(this);
  Splitter1->SetName("Splitter1");
  Splitter1->SetParent(this);
  Splitter1->SetBounds(157, 0, 3, 354);
  Splitter1->SetAlign(alLeft);
  Splitter1->SetCursor(crHSplit);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->SetName("StatusBar1");
  StatusBar1->SetParent(this);
  StatusBar1->SetBounds(0, 354, 536, 19);
  StatusBar1->SetAlign(alBottom);
  StatusBar1->SetSimplePanel(false);
  const struct {
    int width;
    TAlignment alignment;
  } panels[] = {{100, taCenter}, {100, taCenter}, {200, taLeftJustify}, {200, taLeftJustify}};
  for (const auto& p : panels) {
    TStatusPanel* panel = StatusBar1->Panels().Add();
    panel->SetWidth(p.width);
    panel->SetAlignment(p.alignment);
    panel->SetBiDiMode(bdLeftToRight);
  }

  Panel2 = new TPanel(this);
  Panel2->SetName("Panel2");
  Panel2->SetParent(this);
  Panel2->SetBounds(160, 0, 376, 354);
  Panel2->SetAlign(alClient);
  Panel2->SetTabOrder(1);
  Panel2->OnResize = [this](TObject* s) { Panel2Resize(s); };
  Panel2->OnDblClick = [this](TObject* s) { Panel2DblClick(s); };
  CreateImageControls();

  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer1->OnTimer = [this](TObject* s) { Timer1Timer(s); };

  // The browsing controls feed each other: drive -> directory -> file list <- filter.
  DriveComboBox1->SetDirList(DirectoryListBox1);
  DirectoryListBox1->SetFileList(FileListBox1);
  FilterComboBox1->SetFileList(FileListBox1);
  EnableAlign();
}

void TForm1::CreateBrowsingControls() {
  DriveComboBox1 = new TDriveComboBox(this);
  DriveComboBox1->SetName("DriveComboBox1");
  DriveComboBox1->SetParent(Panel1);
  DriveComboBox1->SetBounds(1, 4, 155, 19);
  DriveComboBox1->SetAnchors(TAnchors{akLeft, akTop, akRight});
  DriveComboBox1->SetTabOrder(0);

  DirectoryListBox1 = new TDirectoryListBox(this);
  DirectoryListBox1->SetName("DirectoryListBox1");
  DirectoryListBox1->SetParent(Panel1);
  DirectoryListBox1->SetBounds(1, 25, 155, 101);
  DirectoryListBox1->SetAnchors(TAnchors{akLeft, akTop, akRight});
  DirectoryListBox1->SetItemHeight(16);
  DirectoryListBox1->SetTabOrder(1);
  DirectoryListBox1->OnChange = [this](TObject* s) { DirectoryListBox1Change(s); };

  FileListBox1 = new TFileListBox(this);
  FileListBox1->SetName("FileListBox1");
  FileListBox1->SetParent(Panel1);
  FileListBox1->SetBounds(1, 128, 155, 201);
  FileListBox1->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
  FileListBox1->SetItemHeight(13);
  FileListBox1->SetMask(kViewerMask);
  FileListBox1->SetTabOrder(2);
  FileListBox1->OnClick = [this](TObject* s) { FileListBox1Click(s); };

  FilterComboBox1 = new TFilterComboBox(this);
  FilterComboBox1->SetName("FilterComboBox1");
  FilterComboBox1->SetParent(Panel1);
  FilterComboBox1->SetBounds(1, 330, 155, 21);
  FilterComboBox1->SetAnchors(TAnchors{akLeft, akRight, akBottom});
  FilterComboBox1->SetFilter(kViewerFilter);
  FilterComboBox1->SetTabOrder(3);
}

void TForm1::CreateImageControls() {
  Image1 = new TImage(this);
  Image1->SetName("Image1");
  Image1->SetParent(Panel2);
  Image1->SetBounds(0, 0, 125, 113);
  Image1->SetAutoSize(true);
  Image1->SetStretch(true);
  Image1->OnDblClick = [this](TObject* s) { Image1DblClick(s); };
  Image1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseDown(s, b, sh, x, y);
  };
  Image1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { Image1MouseMove(s, sh, x, y); };
  Image1->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseUp(s, b, sh, x, y);
  };

  GIFAnimator1 = new TGIFAnimator(this);
  GIFAnimator1->SetName("GIFAnimator1");
  GIFAnimator1->SetParent(Panel2);
  GIFAnimator1->SetBounds(132, 4, 105, 105);
  GIFAnimator1->SetAnimate(true);
  GIFAnimator1->OnDblClick = [this](TObject* s) { GIFAnimator1DblClick(s); };
  GIFAnimator1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    GIFAnimator1MouseDown(s, b, sh, x, y);
  };
  GIFAnimator1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) {
    GIFAnimator1MouseMove(s, sh, x, y);
  };
  GIFAnimator1->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    GIFAnimator1MouseUp(s, b, sh, x, y);
  };
}

// ---- start-up and shutdown ----------------------------------------------------------------------

void TForm1::FormCreate(TObject*) {
  Image1->SetWidth(0);
  Image1->SetHeight(0);
  GIFAnimator1->SetWidth(0);
  GIFAnimator1->SetHeight(0);
  FitToPanel = true;
  DragOriginX = 0;
  DragOriginY = 0;
  TargetDirectory.clear();
  ShowFileSize = true;
  TimedBottomRefresh = false;
  SkipNextPanelResize = false;
  VersionCaption = "Lumivane 1.5";
}

void TForm1::FormShow(TObject*) {
  const std::string title = UnshiftText(StoredTitleText);
  const std::string status = UnshiftText(StoredStatusText);
  SetCaption(VersionCaption + " - " + title);
  StatusBar1->Panels()[3]->SetText(status);
  ReadSettings();
  OpenCommandLineFile();
  FileListBox1->SetFocus();
}

void TForm1::ReadSettings() {
  const bool loaded = ReadSettingsFile(SettingsPath, [this](int field, int value) {
    switch (field) {
      case 0:
        SetTop(value);
        break;
      case 1:
        SetLeft(value);
        break;
      case 2:
        SetHeight(std::max(value, kMinimumWindowHeight));
        break;
      case 3:
        SetWidth(std::max(value, kMinimumWindowWidth));
        break;
      case 4:
        Panel1->SetWidth(value);
        break;
    }
  });
  if (!loaded) {
    SetTop(0);
    SetLeft(0);
    SetHeight(Screen->Height() - 25);
    SetWidth(Screen->Width());
  }
}

void TForm1::OpenCommandLineFile() {
  if (arguments_.size() != 1) return;
  const std::string& argument = arguments_[0];
  // The drive, directory and file controls each read the picture's folder in turn; one listing
  // serves them all while the folder stays unchanged.
  const TDirectoryListing::TReuseScope listingReuse;
  try {
    const std::string drive = ExtractFileDrive(argument);
    if (!drive.empty()) DriveComboBox1->SetDriveLetter(drive[0]);
  } catch (const std::exception&) {
    // A drive that cannot be chosen is passed over; the directory below decides.
  }
  try {
    DirectoryListBox1->SetDirectory(ExtractFileDir(argument));
    FileListBox1->ApplyPathText(argument);
    awaitDecodedAhead_ = true;
    FileListBox1Click(FileListBox1);
    awaitDecodedAhead_ = false;
  } catch (const std::exception&) {
    // A bad argument shows nothing and reports nothing.
    awaitDecodedAhead_ = false;
  }
}

void TForm1::FormResize(TObject*) {
  if (StatusBar1 == nullptr || StatusBar1->Panels().Count() < 3) return;
  const int width = Width() - 340;
  StatusBar1->Panels()[2]->SetWidth(width > 200 ? width : 200);
}

void TForm1::FormCloseQuery(TObject*, bool& CanClose) {
  WriteSettings();
  Timer1->SetEnabled(false);
  CanClose = true;
}

void TForm1::WriteSettings() {
  PrepareSettingsFolder(SettingsPath);
  WriteSettingsFile(SettingsPath, {Top(), Left(), Height(), Width(), Panel1->Width()});
}

void TForm1::FormDestroy(TObject*) { Timer1->SetEnabled(false); }

// ---- the display step ---------------------------------------------------------------------------

void TForm1::FileListBox1Click(TObject*) {
  const int index = FileListBox1->ItemIndex();
  StatusBar1->Panels()[1]->SetText(IntToStr(index + 1) + " / " + IntToStr(FileListBox1->Count()));
  const std::string path = FileListBox1->SelectedPath();
  if (ShowFileSize) {
    StatusBar1->Panels()[2]->SetText(path + " - " + FormatThousands(FileSize32(path)) + " bytes");
  } else {
    StatusBar1->Panels()[2]->SetText(path);
  }
  SetCaption(VersionCaption + " - " + path);
  if (UpperCase(ExtractFileExt(path)) == ".GIF") {
    ShowGif(path);
  } else {
    ShowStillImage(path);
  }
  DecodeAhead(path);
}

void TForm1::DecodeAhead(const std::string& shown) {
  if (!preloader_) return;
  const int index = FileListBox1->ItemIndex();
  const int count = FileListBox1->Count();
  if (index >= 0 && lastShownIndex_ >= 0 && index != lastShownIndex_)
    travel_ = index > lastShownIndex_ ? 1 : -1;
  lastShownIndex_ = index;
  // Decoding ahead only saves time: when it fails, the pictures are read when shown.
  try {
    std::vector<std::string> neighbours;
    // Timed bottom refresh shows the last entry again at every tick: only that one is worth having.
    const bool refreshing = TimedBottomRefresh && Timer1->Enabled();
    if (refreshing) {
      neighbours.push_back(shown);
    } else if (index >= 0) {
      for (const int next : {index + travel_, index - travel_}) {
        if (next >= 0 && next < count)
          neighbours.push_back(JoinPath(FileListBox1->Directory(), FileListBox1->Items(next)));
      }
    }
    TPicturePreloader::TShownSizeFunction shownSize;
    if (FitToPanel) {
      shownSize = [PW = Panel2->Width(), PH = Panel2->Height()](int W0, int H0) {
        const TRect bounds = FittedBounds(W0, H0, PW, PH);
        return TPicturePreloader::TShownSize{bounds.Width(), bounds.Height()};
      };
    }
    preloader_->Want(shown, neighbours, std::move(shownSize));
  } catch (const std::exception&) {
  }
}

void TForm1::ShowStillImage(const std::string& path) {
  try {
    if (GIFAnimator1->Visible()) GIFAnimator1->Hide();
    Image1->Hide();
    Image1->SetAutoSize(true);
    std::unique_ptr<TBitmap> fittedAhead = LoadStillPicture(path);
    DecodeForDisplay(Image1->Picture().Graphic());
    const int W0 = Image1->Width();
    const int H0 = Image1->Height();
    StatusBar1->Panels()[0]->SetText(IntToStr(W0) + " x " + IntToStr(H0));
    if (FitToPanel) {
      FitLayout(W0, H0);
      Image1->AdoptFittedCopy(std::move(fittedAhead));
    } else {
      NaturalLayout(W0, H0);
    }
    Image1->Show();
  } catch (const std::exception&) {
    EmptyImageArea();
  }
}

std::unique_ptr<TBitmap> TForm1::LoadStillPicture(const std::string& path) {
  if (preloader_) {
    // Taking the decoded picture has the effects of reading it: the control takes its size.
    // Only the command-line picture, whose decoding started before the window was built, is
    // waited for.
    const auto wait = awaitDecodedAhead_ ? TPicturePreloader::WaitAlways : TPicturePreloader::WaitNever;
    TGraphic* decoded = nullptr;
    try {
      decoded = preloader_->Find(path, wait);
    } catch (const std::exception&) {
      // Read from the file below, as without decoding ahead.
    }
    if (decoded != nullptr) {
      Image1->Picture().SetGraphic(decoded);
      return preloader_->TakeFittedCopy(decoded);
    }
  }
  Image1->Picture().ReadFromFile(path);
  return nullptr;
}

void TForm1::ShowGif(const std::string& path) {
  try {
    if (Image1->Visible()) Image1->Hide();
    GIFAnimator1->Hide();
    GIFAnimator1->Image()->ReadFromFile(path);
    const int AW = GIFAnimator1->Width();
    const int AH = GIFAnimator1->Height();
    StatusBar1->Panels()[0]->SetText(IntToStr(AW) + " x " + IntToStr(AH));
    // GIFs are never scaled: a large one is centred and cut off on every side.
    GIFAnimator1->SetTop(Half(Panel2->Height() - AH));
    GIFAnimator1->SetLeft(Half(Panel2->Width() - AW));
    GIFAnimator1->Show();
  } catch (const std::exception&) {
    // The image may still hold the previous GIF (a file that cannot be opened fails before the
    // reader starts); it is emptied too, or auto-size would bring the old size back.
    GIFAnimator1->Image()->AssignFrom(nullptr);
    GIFAnimator1->Hide();
    GIFAnimator1->SetWidth(0);
    GIFAnimator1->SetHeight(0);
    GIFAnimator1->Show();
  }
}

void TForm1::EmptyImageArea() {
  Image1->Hide();
  Image1->SetAutoSize(false);
  Image1->SetWidth(0);
  Image1->SetHeight(0);
  Image1->Show();
}

void TForm1::FitLayout(int W0, int H0) {
  Image1->SetAutoSize(false);
  const TRect bounds = FittedBounds(W0, H0, Panel2->Width(), Panel2->Height());
  Image1->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
}

void TForm1::NaturalLayout(int W0, int H0) {
  const int PW = Panel2->Width();
  const int PH = Panel2->Height();
  Image1->SetLeft(PW < W0 ? 0 : Half(PW - W0));
  Image1->SetTop(PH < H0 ? 0 : Half(PH - H0));
}

void TForm1::Panel2Resize(TObject*) {
  if (SkipNextPanelResize) {
    SkipNextPanelResize = false;
    return;
  }
  if (Image1->Visible()) {
    if (Image1->Width() != 0 && Image1->Height() != 0) FileListBox1Click(this);
  } else if (GIFAnimator1->Width() != 0 && GIFAnimator1->Height() != 0) {
    FileListBox1Click(this);
  }
}

// ---- keys ---------------------------------------------------------------------------------------

void TForm1::SelectAndShow(int index) {
  FileListBox1->SetItemIndex(index);
  FileListBox1Click(this);
}

bool TForm1::PreviousFile() {
  const int index = FileListBox1->ItemIndex();
  if (index < 1) return false;
  SelectAndShow(index - 1);
  return true;
}

bool TForm1::NextFile() {
  const int index = FileListBox1->ItemIndex();
  if (index >= FileListBox1->Count() - 1) return false;
  SelectAndShow(index + 1);
  return true;
}

void TForm1::FormKeyDown(TObject*, uint16_t& Key, TShiftState) {
  switch (Key) {
    case VK_PRIOR:
      if (PreviousFile()) ConsumeKey(Key);
      break;
    case VK_NEXT:
      if (NextFile()) ConsumeKey(Key);
      break;
    case VK_END:
      SelectAndShow(FileListBox1->Count() - 1);
      ConsumeKey(Key);
      break;
    case VK_HOME:
      SelectAndShow(0);
      ConsumeKey(Key);
      break;
    case VK_DELETE:
      DeleteSelectedFile();
      break;
    case VK_F1 + 1:
      RenameSelectedFile();
      break;
    case VK_F1 + 4:
      AskTargetDirectory();
      break;
    case VK_F1 + 5:
      CopySelectedFile();
      break;
    case VK_F1 + 6:
      MoveSelectedFile();
      break;
    case VK_ADD:
      ZoomIn();
      break;
    case VK_F1:
      if (Form2 != nullptr) Form2->ShowModal();
      break;
    case VK_SUBTRACT:
      ZoomOut();
      break;
    case VK_F1 + 2:
      AskSlideShowInterval();
      break;
    case VK_F1 + 3:
      Timer1->SetEnabled(!Timer1->Enabled());
      break;
    case VK_F1 + 7:
      FitToPanel = !FitToPanel;
      FileListBox1Click(this);
      break;
    case VK_F1 + 8:
      ReduceWindow();
      ConsumeKey(Key);
      break;
    case VK_F1 + 9:
      FullScreenWindow();
      ConsumeKey(Key);
      break;
    case VK_F1 + 10:
      if (ShrinkWindowStep()) ConsumeKey(Key);
      break;
    case VK_F1 + 11:
      if (GrowWindowStep()) ConsumeKey(Key);
      break;
    default:
      break;
  }
}

void TForm1::FormKeyPress(TObject*, char& Key) {
  switch (Key) {
    case 2:  // Ctrl+B
      TimedBottomRefresh = !TimedBottomRefresh;
      Timer1->SetEnabled(!Timer1->Enabled());
      ConsumeKey(Key);
      break;
    case 18:  // Ctrl+R
      RefreshList();
      ConsumeKey(Key);
      break;
    case 19:  // Ctrl+S
      ShowFileSize = !ShowFileSize;
      ConsumeKey(Key);
      break;
    case 20:  // Ctrl+T
      BottomRefresh(this);
      ConsumeKey(Key);
      break;
    default:
      break;
  }
}

void TForm1::RefreshList() {
  const int index = FileListBox1->ItemIndex();
  FileListBox1->UpdateList();
  FileListBox1->SetItemIndex(index);
}

// Zoom acts on the still image only while it is the control on display.
void TForm1::ZoomIn() {
  if (!FitToPanel || !Image1->Visible() || Image1->Width() <= 0 || Image1->Height() <= 0) return;
  Image1->Hide();
  const int W0 = Image1->Width();
  const int H0 = Image1->Height();
  const double r = static_cast<float>(W0) / static_cast<float>(H0);
  const int width = W0 + 100;
  const int height = static_cast<int>(width / r);
  Image1->SetBounds(Image1->Left() - Half(width - W0), Image1->Top() - Half(height - H0), width, height);
  Image1->Show();
}

void TForm1::ZoomOut() {
  if (!FitToPanel || !Image1->Visible() || Image1->Height() <= 0 || Image1->Width() <= 100) return;
  Image1->Hide();
  const int W0 = Image1->Width();
  const int H0 = Image1->Height();
  const double r = static_cast<float>(W0) / static_cast<float>(H0);
  const int width = W0 - 100;
  const int height = static_cast<int>(width / r);
  Image1->SetBounds(Image1->Left() + Half(W0 - width), Image1->Top() + Half(H0 - height), width, height);
  Image1->Show();
}

void TForm1::AskSlideShowInterval() {
  for (;;) {
    const std::string answer =
        InputBox("Slide Show", "Interval (miliseconds):", IntToStr(Timer1->Interval()));
    Timer1->SetInterval(static_cast<uint32_t>(StrToInt(answer)));
    if (Timer1->Interval() != 0) return;
    ShowMessage("Interval to Slide Show " + IntToStr(Timer1->Interval()) + " invalid.");
  }
}

void TForm1::ReduceWindow() {
  SetTop(Screen->Height() - 330);
  SetLeft(0);
  SkipNextPanelResize = true;
  SetHeight(300);
  SetWidth(320);
}

void TForm1::FullScreenWindow() {
  SetTop(0);
  SetLeft(0);
  SkipNextPanelResize = true;
  SetHeight(Screen->Height());
  SetWidth(Screen->Width());
}

bool TForm1::ShrinkWindowStep() {
  if (Height() < 61 || Width() < 81) return false;
  SetTop(Top() + 30);
  SetLeft(Left() + 40);
  SkipNextPanelResize = true;
  SetHeight(Height() - 60);
  SetWidth(Width() - 80);
  return true;
}

bool TForm1::GrowWindowStep() {
  if (Screen->Height() < Height() + 60 || Screen->Width() < Width() + 80) return false;
  SetTop(Top() - 30);
  SetLeft(Left() - 40);
  SkipNextPanelResize = true;
  SetHeight(Height() + 60);
  SetWidth(Width() + 80);
  return true;
}

// ---- slide show and refresh ---------------------------------------------------------------------

void TForm1::Timer1Timer(TObject*) {
  if (TimedBottomRefresh) {
    BottomRefresh(this);
    return;
  }
  const int index = FileListBox1->ItemIndex();
  if (index >= FileListBox1->Count() - 1) {
    Timer1->SetEnabled(false);
    return;
  }
  SelectAndShow(index + 1);
}

void TForm1::BottomRefresh(TObject*) {
  FileListBox1->UpdateList();
  if (FileListBox1->Count() > 0) SelectAndShow(FileListBox1->Count() - 1);
}

void TForm1::DirectoryListBox1Change(TObject*) {
  if (FileListBox1->Count() == 0) {
    if (!Image1->Visible()) GIFAnimator1->Hide();
    EmptyImageArea();
  }
  for (int i = 0; i < 3; ++i) StatusBar1->Panels()[i]->SetText("");
  SetCaption(VersionCaption);
}

// ---- mouse ------------------------------------------------------------------------------------

void TForm1::Image1MouseDown(TObject*, TMouseButton, TShiftState Shift, int X, int Y) {
  // The press of a double click belongs to the double click, whose panel toggle re-lays the
  // picture out and so swallows the release: it starts no drag.
  if (Shift.Contains(ssDouble)) {
    EndDrag();
    return;
  }
  DragOriginX = X;
  DragOriginY = Y;
  Screen->SetCursor(crSizeAll);
}

void TForm1::Image1MouseMove(TObject* Sender, TShiftState, int X, int Y) {
  if (DragOriginX <= 0 || DragOriginY <= 0) return;
  auto* control = dynamic_cast<TControl*>(Sender);
  if (control == nullptr) return;
  control->SetBounds(control->Left() + (X - DragOriginX), control->Top() + (Y - DragOriginY),
                     control->Width(), control->Height());
}

void TForm1::Image1MouseUp(TObject*, TMouseButton, TShiftState, int, int) { EndDrag(); }

void TForm1::EndDrag() {
  DragOriginX = 0;
  DragOriginY = 0;
  Screen->SetCursor(crDefault);
}

void TForm1::Image1DblClick(TObject*) {
  EndDrag();
  if (Panel1->Visible()) {
    Panel1->Hide();
    Splitter1->Hide();
  } else {
    Splitter1->Show();
    Panel1->Show();
  }
}

void TForm1::Panel2DblClick(TObject* Sender) {
  if (Image1->Visible()) {
    Image1DblClick(Sender);
  } else {
    GIFAnimator1DblClick(Sender);
  }
}

// The animated control is dragged and double-clicked exactly like the still image.
void TForm1::GIFAnimator1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  Image1MouseDown(Sender, Button, Shift, X, Y);
}

void TForm1::GIFAnimator1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  Image1MouseMove(Sender, Shift, X, Y);
}

void TForm1::GIFAnimator1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  Image1MouseUp(Sender, Button, Shift, X, Y);
}

void TForm1::GIFAnimator1DblClick(TObject* Sender) { Image1DblClick(Sender); }

void TForm1::Panel1Resize(TObject*) {}

// ---- file commands ------------------------------------------------------------------------------

namespace {
// The index of the list's entry that is the file `path` (by name and as a file), or -1.
int ListedIndexOf(const TFileListBox* list, const std::string& path) {
  const std::string name = ExtractFileName(path);
  for (int i = 0; i < list->Count(); ++i) {
    if (list->Items(i) == name && IsSameFile(list->Directory() + "\\" + name, path)) return i;
  }
  return -1;
}
}  // namespace

TPoint TForm1::DialogAnchor() const { return TPoint{Left() + Width() / 2 - 130, Top() + Height() / 2 - 65}; }

void TForm1::ReselectAfterRemoval(int index) {
  const int count = FileListBox1->Count();
  if (index <= count - 1) {
    FileListBox1->SetItemIndex(index);
  } else if (index - 1 >= 0 && index - 1 <= count - 1) {
    FileListBox1->SetItemIndex(index - 1);
  } else {
    FileListBox1->SetItemIndex(-1);
  }
}

void TForm1::DeleteSelectedFile() {
  const std::string path = FileListBox1->SelectedPath();
  if (Trim(path).empty()) return;
  const TPoint anchor = DialogAnchor();
  if (ConfirmYesNo("Delete " + path + " ?", anchor.X, anchor.Y) != mrYes) return;
  const int index = FileListBox1->ItemIndex();
  try {
    if (!DeleteFileA(path)) {
      ShowMessage("Delete Error!");
      return;
    }
    FileListBox1->UpdateList();
    ReselectAfterRemoval(index);
    FileListBox1Click(this);
  } catch (const std::exception&) {
    ShowMessage("Delete Error!");
  }
}

void TForm1::RenameSelectedFile() {
  const int index = FileListBox1->ItemIndex();
  if (index < 0) return;
  const std::string path = FileListBox1->SelectedPath();
  const std::string answer = InputBox("Rename", "New name:", ExtractFileName(path));
  if (Trim(answer).empty()) return;
  const std::string renamed = ExtractFileDir(path) + "\\" + answer;
  if (renamed == path) return;
  if (!MoveFileA(path, renamed)) {
    ShowMessage("Rename Error!");  // the list, the selection and the picture stay as they were
    return;
  }
  // The list is read again with the user's own filter. The renamed file is selected where that
  // lists it; otherwise it left the list, and the entry now at its place is selected.
  FileListBox1->UpdateList();
  const int renamedIndex = ListedIndexOf(FileListBox1, renamed);
  if (renamedIndex >= 0) {
    FileListBox1->SetItemIndex(renamedIndex);
  } else {
    ReselectAfterRemoval(index);
  }
  FileListBox1Click(this);
}

void TForm1::AskTargetDirectory() {
  for (;;) {
    // A folder typed in Unix form is taken as the program path it names.
    TargetDirectory = ConvertUserPath(InputBox("Inform directory", "Move/Copy file to:", TargetDirectory));
    if (TargetDirectory.empty() || DirectoryExists(TargetDirectory)) return;
    ShowMessage("Directory " + TargetDirectory + " not found.");
  }
}

bool TForm1::ReadyToTransfer() {
  if (Trim(FileListBox1->SelectedPath()).empty()) {
    ShowMessage("No File selected.");
    return false;
  }
  if (TargetDirectory.empty()) {
    ShowMessage("No Target Directory informed. Press F5 to inform.");
    return false;
  }
  return true;
}

bool TForm1::MayOverwrite(const std::string& name) {
  if (!FileExists(TargetDirectory + "\\" + name)) return true;
  const TPoint anchor = DialogAnchor();
  return ConfirmYesNo("Overwrite " + TargetDirectory + "\\" + name + " ?", anchor.X, anchor.Y) == mrYes;
}

void TForm1::CopySelectedFile() {
  if (!ReadyToTransfer()) return;
  const std::string name = ExtractFileName(FileListBox1->SelectedPath());
  if (!MayOverwrite(name)) return;
  const std::string source = Trim(FileListBox1->Directory()) + "\\" + name;
  const std::string target = TargetDirectory + "\\" + name;
  // CopyFileA refuses a copy onto the file itself (however the paths name it) before anything is
  // written, and replaces an existing target in one step once the copy is complete.
  if (!CopyFileA(source, target, FALSE)) {
    ShowMessage("Copy Error!");
    return;
  }
  static const std::string kCopyOk = " - Copy Ok";
  TStatusPanel* panel = StatusBar1->Panels()[2];
  const std::string& text = panel->Text();
  if (text.size() < kCopyOk.size() ||
      text.compare(text.size() - kCopyOk.size(), kCopyOk.size(), kCopyOk) != 0)
    panel->SetText(text + kCopyOk);
}

void TForm1::MoveSelectedFile() {
  if (!ReadyToTransfer()) return;
  const std::string name = ExtractFileName(FileListBox1->SelectedPath());
  const std::string source = Trim(FileListBox1->Directory()) + "\\" + name;
  const std::string target = TargetDirectory + "\\" + name;
  const bool replacing = FileExists(target);
  if (!MayOverwrite(name)) return;
  const int index = FileListBox1->ItemIndex();
  // The old target is never deleted first: the move replaces it in one step, and a target that is
  // the source itself (the same folder, a linked or bound one, a hard link) is left alone. Only a
  // regular file moves.
  const DWORD flags = MOVEFILE_COPY_ALLOWED | (replacing ? MOVEFILE_REPLACE_EXISTING : 0);
  if (IsSameFile(source, target) || !IsRegularFile(source) || !MoveFileExA(source, target, flags)) {
    ShowMessage("Move Error!");
    return;
  }
  FileListBox1->UpdateList();
  ReselectAfterRemoval(index);
  FileListBox1Click(this);
}

}  // namespace lumivane
