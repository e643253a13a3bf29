#include "program.h"

#include "comm.h"
#include "data.h"
#include "errordisplay.h"
#include "insdlg.h"
#include "mainform.h"
#include "makedlg.h"
#include "nodedlg.h"
#include "transact.h"

namespace {

template <typename T>
void Destroy(T*& object) {
  delete object;
  object = nullptr;
}

}  // namespace

void CreateProgramObjects() {
  RunCreationHandler([] {
    DataMod = new TDataMod;
    DataMod->DataModuleCreate();
  });
  RunCreationHandler([] {
    CommMod = new TCommMod;
    CommMod->OnDispatch = DispatchPayload;
  });
  RunCreationHandler([] { MainForm = new TMainForm; });
  RunCreationHandler([] { NodeDlg = new TNodeDlg(MainForm); });
  RunCreationHandler([] { InsDlg = new TInsDlg(MainForm); });
  RunCreationHandler([] { MakeDlg = new TMakeDlg(MainForm); });
}

void DestroyProgramObjects() {
  Destroy(MakeDlg);
  Destroy(InsDlg);
  Destroy(NodeDlg);
  Destroy(MainForm);
  Destroy(CommMod);
  Destroy(DataMod);
}
