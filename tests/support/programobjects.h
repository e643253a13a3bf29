// The program's objects for tests that drive the whole program: a database
// file in a temporary working directory, then the database module, the link
// module, the main window and the dialogs, created and destroyed as the
// program's entry does. Header-only: include it only from tests that
// link the main window.
#pragma once

#include <functional>

#include "comm.h"
#include "data.h"
#include "mainform.h"
#include "program.h"
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
    CreateProgramObjects();
    // Record every frame handed to the dispatcher, then dispatch it.
    CommMod->OnDispatch = [this](const TPayloadStu& p) {
      Dispatched.push_back(p);
      return DispatchPayload(p);
    };
  }
  ~TProgramUnderTest() { DestroyProgramObjects(); }
  TProgramUnderTest(const TProgramUnderTest&) = delete;
  TProgramUnderTest& operator=(const TProgramUnderTest&) = delete;

  QString Status() const { return MainForm->BotPanel->text(); }

  TTempCwd Cwd;
  TErrorRecorder Errors;
  std::vector<TPayloadStu> Dispatched;  // every frame handed to the dispatcher
};
