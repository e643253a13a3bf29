// The program's entry: applies the visual style, creates the six objects of
// the run in their order, runs the event loop until the main window closes
// and destroys the objects in the reverse order. It takes no arguments and
// returns 0 in every case.
#include "comm.h"
#include "data.h"
#include "errordisplay.h"
#include "insdlg.h"
#include "mainform.h"
#include "makedlg.h"
#include "nodedlg.h"
#include "pixelfont.h"
#include "style.h"
#include "transact.h"

namespace {

template <typename T>
void Destroy(T*& object) {
  delete object;
  object = nullptr;
}

// The objects that live for the whole run. A failure while one of them is
// created is shown, and start-up goes on with the next one.
class TProgramObjects {
 public:
  TProgramObjects() {
    RunCreationHandler([] { DataMod = new TDataMod; });
    RunCreationHandler([] { CommMod = new TCommMod; });
    RunCreationHandler([] { MainForm = new TMainForm; });
    RunCreationHandler([] { NodeDlg = new TNodeDlg(MainForm); });
    RunCreationHandler([] { InsDlg = new TInsDlg(MainForm); });
    RunCreationHandler([] { MakeDlg = new TMakeDlg(MainForm); });
  }

  ~TProgramObjects() {
    Destroy(MakeDlg);
    Destroy(InsDlg);
    Destroy(NodeDlg);
    Destroy(MainForm);
    Destroy(CommMod);
    Destroy(DataMod);
  }

  TProgramObjects(const TProgramObjects&) = delete;
  TProgramObjects& operator=(const TProgramObjects&) = delete;
};

void RunProgram(TApplication& application) {
  SetApplicationFont();
  RunCreationHandler([] { ApplyStyle(QString::fromLatin1(CyanDuskStyle)); });
  const TProgramObjects objects;
  if (CommMod) CommMod->OnDispatch = DispatchPayload;
  if (!MainForm) return;
  MainForm->showMaximized();
  application.exec();
}

}  // namespace

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  try {
    RunProgram(application);
  } catch (...) {
    ShowCurrentException();
  }
  return 0;
}
