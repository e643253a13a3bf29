// The program's entry: applies the visual style, creates the six objects of
// the run in their order, runs the event loop until the main window closes
// and destroys the objects in the reverse order. It takes no arguments and
// returns 0 in every case.
#include "errordisplay.h"
#include "mainform.h"
#include "pixelfont.h"
#include "program.h"
#include "style.h"

namespace {

// Destroys the objects however the event loop ends.
class TProgramObjects {
 public:
  TProgramObjects() { CreateProgramObjects(); }
  ~TProgramObjects() { DestroyProgramObjects(); }
  TProgramObjects(const TProgramObjects&) = delete;
  TProgramObjects& operator=(const TProgramObjects&) = delete;
};

void RunProgram(TApplication& application) {
  SetApplicationFont();
  RunCreationHandler([] { ApplyStyle(QString::fromLatin1(CyanDuskStyle)); });
  const TProgramObjects objects;
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
