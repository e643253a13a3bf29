// The program's objects for tests that drive the whole program: a database
// file in a temporary working directory, then the database module, the link
// module and the main window, created in the order of the program's entry
// and destroyed in reverse. Header-only: include it only from tests that
// link the main window.
#pragma once

#include <functional>

#include "comm.h"
#include "data.h"
#include "mainform.h"
#include "schema.h"
#include "testsupport.h"
#include "transact.h"

class TProgramUnderTest {
 public:
  // `prepare` runs in the working directory before the objects are made
  // (link a port, change the database file).
  explicit TProgramUnderTest(const std::function<void(const QString& dir)>& prepare = {}) {
    CreateDatabaseFile(Cwd.File("Korvane.mdb"));
    if (prepare) prepare(Cwd.Path());
    DataMod = new TDataMod;
    CommMod = new TCommMod;
    CommMod->OnDispatch = [this](const TPayloadStu& p) {
      Dispatched.push_back(p);
      return DispatchPayload(p);
    };
    MainForm = new TMainForm;
  }
  ~TProgramUnderTest() {
    delete MainForm;
    MainForm = nullptr;
    delete CommMod;
    CommMod = nullptr;
    delete DataMod;
    DataMod = nullptr;
  }
  TProgramUnderTest(const TProgramUnderTest&) = delete;
  TProgramUnderTest& operator=(const TProgramUnderTest&) = delete;

  QString Status() const { return MainForm->BotPanel->text(); }

  TTempCwd Cwd;
  TErrorRecorder Errors;
  std::vector<TPayloadStu> Dispatched;  // every frame handed to the dispatcher
};
