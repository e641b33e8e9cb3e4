#pragma once
// The help window: a fixed dialog listing the viewer's keys and mouse gestures.
#include <vector>

#include "framework/form.h"

namespace lumivane {

class TButton;
class TLabel;

class TForm2 : public TForm {
 public:
  explicit TForm2(TComponent* AOwner);

  TLabel* Label1 = nullptr;  // the title
  // Label2 .. Label29 in their numbering; index 0 and 1 are unused.
  std::vector<TLabel*> Labels;
  TButton* cmdOk = nullptr;

  // The window the help is centred on (the application's main form when not set).
  TForm* MainWindow = nullptr;

  void FormShow(TObject* Sender);
  void cmdOkClick(TObject* Sender);
};

}  // namespace lumivane
