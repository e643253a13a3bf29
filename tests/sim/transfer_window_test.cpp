// Program and Load pressed in the real window, with the virtual board's own
// core answering on a pseudo-terminal: which requests go out, what comes
// back into the settings, the node list and the program, and what a failure
// leaves behind.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QTreeWidget>
#include <atomic>
#include <mutex>
#include <thread>

#include "board.h"
#include "programfixture.h"

namespace {

// The board's core behind the far end of the pseudo-terminal. Every request
// is recorded; `Override` may answer instead of the board (or stay silent
// by returning an empty list).
class TCoreBoardOnLine {
 public:
  using TOverride = std::function<bool(const TPayloadStu& request, std::vector<TPayloadStu>& answers)>;

  TCoreBoardOnLine(TPtyPair& line, TBoardImage image) : FLine(line), FBoard(std::move(image)) {
    FThread = std::thread([this] { Serve(); });
  }
  ~TCoreBoardOnLine() {
    FStop = true;
    FThread.join();
  }

  std::vector<int> Codes() const {
    std::lock_guard<std::mutex> lock(FLock);
    std::vector<int> codes;
    for (const TPayloadStu& r : FRequests) codes.push_back(r.Code());
    return codes;
  }
  TBoardImage Stored() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FBoard.Stored();
  }
  void SetOverride(TOverride override) {
    std::lock_guard<std::mutex> lock(FLock);
    FOverride = std::move(override);
  }

 private:
  void Serve() {
    std::vector<std::uint8_t> pending;
    while (!FStop) {
      const std::vector<std::uint8_t> bytes = FLine.Read(FrameSize, 10);
      pending.insert(pending.end(), bytes.begin(), bytes.end());
      while (pending.size() >= FrameSize) {
        if (!IsValidRequestFrame(pending.data())) {
          pending.erase(pending.begin());
          continue;
        }
        Answer(PayloadOf(pending.data()));
        pending.erase(pending.begin(), pending.begin() + FrameSize);
      }
    }
  }

  void Answer(const TPayloadStu& request) {
    std::vector<TPayloadStu> answers;
    {
      std::lock_guard<std::mutex> lock(FLock);
      FRequests.push_back(request);
      if (!FOverride || !FOverride(request, answers)) answers = FBoard.Handle(request);
    }
    for (const TPayloadStu& a : answers) FLine.Write(FrameBytes(a));
  }

  TPtyPair& FLine;
  mutable std::mutex FLock;
  TBoard FBoard;
  TOverride FOverride;
  std::vector<TPayloadStu> FRequests;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

TBoardImage BoardWith(int nodes, int words) {
  TBoardImage image;
  image.Config.CANBaud = 2;
  image.Config.RS485Baud = 5;
  image.Config.Pri = 8;
  for (int i = 0; i < nodes; ++i) image.Nodes.push_back({std::uint8_t(1 + i % 2), std::uint8_t(0x10 + i)});
  for (int i = 0; i < words; ++i) image.Program.push_back(0x00640009u + (std::uint32_t(i) << 24));
  return image;
}

std::vector<std::uint32_t> OldProgram() { return {0x01F40008, 0x002C0511, 0x0000000F}; }

class TransferWindowTest : public TProgramFixture {
 protected:
  // A test may have made and shaped the database file first.
  void Start(const TBoardImage& image = {}) {
    if (!QFileInfo::exists(Cwd.File(DatabaseFile()))) MakeDatabase();
    PutProgram(OldProgram());
    PlugBoardInto(1);
    CreateProgram();
    ASSERT_TRUE(CommMod->Uart.Active());
    Core = std::make_unique<TCoreBoardOnLine>(*Board, image);
  }
  void TearDown() override {
    DestroyProgram();
    Core.reset();
  }

  // Silence from the board for the request with this code and index field.
  void SilentAt(std::uint8_t code, int index) {
    Core->SetOverride([=](const TPayloadStu& r, std::vector<TPayloadStu>&) {
      return r.Code() == code && (code != CmdGetInst || r.U16(2) == index);
    });
  }

  std::vector<QStringList> InsRows() const {
    std::vector<QStringList> rows;
    for (int i = 0; i < MainForm->InsList->topLevelItemCount(); ++i) {
      QStringList texts;
      for (int c = 0; c < MainForm->InsList->columnCount(); ++c) texts << MainForm->InsList->topLevelItem(i)->text(c);
      rows.push_back(texts);
    }
    return rows;
  }

  std::unique_ptr<TCoreBoardOnLine> Core;
};

TEST_F(TransferWindowTest, ProgramWithEmptyListsSendsSettingsEraseAndStoreOnly) {
  Start();
  Sql("DELETE FROM InsTable");
  MainForm->InsClear();
  MainForm->ProgramBtn->click();
  EXPECT_EQ(Core->Codes(), (std::vector<int>{CmdSetBusConfig, CmdErase, CmdStore}));
  EXPECT_EQ(Status(), "");
  EXPECT_FALSE(MainForm->findChild<QLabel*>("TransferProgress")->isVisible());
}

TEST_F(TransferWindowTest, ProgramSendsNodesInListOrderAndTheWholeProgram) {
  MakeDatabase();
  SqlNode("b", 2, 9);
  SqlNode("a", 1, 5);
  Start();
  const long before = Statements();
  MainForm->ProgramBtn->click();
  const TBoardImage stored = Core->Stored();
  ASSERT_EQ(stored.Nodes.size(), 2u);
  EXPECT_EQ(stored.Nodes[0], (TNodeEntry{1, 5}));
  EXPECT_EQ(stored.Nodes[1], (TNodeEntry{2, 9}));
  EXPECT_EQ(stored.Program, OldProgram());
  EXPECT_EQ(Core->Codes().size(), 3u + 2 + 3);
  EXPECT_EQ(Statements(), before) << "Program changes nothing on this side";
}

TEST_F(TransferWindowTest, EraseRefusedShowsThePasswordTextAndSendsNothingMore) {
  Start();
  Core->SetOverride([](const TPayloadStu& r, std::vector<TPayloadStu>& answers) {
    if (r.Code() != CmdErase) return false;
    answers = {MakeErrorAnswer(CmdErase, 4)};
    return true;
  });
  MainForm->ProgramBtn->click();
  EXPECT_EQ(Status(), "The password for the inst is incorrect!");
  EXPECT_EQ(Core->Codes(), (std::vector<int>{CmdSetBusConfig, CmdErase}));
}

TEST_F(TransferWindowTest, PriFortyGoesOutAsEightAndLoadsBackAsEight) {
  MakeDatabase();
  Sql("UPDATE ConfigTable SET Pri = 40");
  Start();
  ASSERT_EQ(MainForm->FConfig.Pri, 40);
  MainForm->ProgramBtn->click();
  EXPECT_EQ(Core->Stored().Config.Pri, 8);
  Core = std::make_unique<TCoreBoardOnLine>(*Board, Core->Stored());
  MainForm->LoadBtn->click();
  EXPECT_EQ(MainForm->FConfig.Pri, 8);
  EXPECT_EQ(ConfigColumn("Pri").toInt(), 8);
  EXPECT_EQ(MainForm->PriEdit->text(), "8");
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(TransferWindowTest, LoadOfThreeNodesAndTenWordsTakesSixteenTransactions) {
  Start(BoardWith(3, 10));
  MainForm->LoadBtn->click();
  EXPECT_EQ(Core->Codes().size(), 16u);
  EXPECT_EQ(Status(), "");
  ASSERT_EQ(MainForm->NodeList->topLevelItemCount(), 3);
  for (int i = 0; i < 3; ++i) {
    QTreeWidgetItem* row = MainForm->NodeList->topLevelItem(i);
    EXPECT_EQ(row->text(0), QStringLiteral("Node%1").arg(i + 1));
    EXPECT_EQ(row->text(3), "60");
    EXPECT_EQ(row->text(4), "50");
    EXPECT_EQ(row->checkState(0), Qt::Unchecked) << "loaded rows get no series";
  }
  EXPECT_EQ(TableNodes().size(), 3);
  const std::vector<std::uint32_t> words = BoardWith(0, 10).Program;
  EXPECT_EQ(ProgramInMemory(), words);
  EXPECT_EQ(StoredProgram(), words);
  EXPECT_EQ(MainForm->InsList->topLevelItemCount(), 10);
  EXPECT_EQ(MainForm->FConfig.CANBaud, 2);
  EXPECT_EQ(MainForm->CANBaudSel->currentIndex(), 2);
  EXPECT_EQ(MainForm->RS485BaudSel->currentIndex(), 5);
}

TEST_F(TransferWindowTest, LoadOfEqualSettingsWritesNoConfigurationColumn) {
  MakeDatabase();
  Sql("CREATE TRIGGER NoConfigWrite BEFORE UPDATE ON ConfigTable BEGIN SELECT RAISE(FAIL, 'config written'); END");
  Start();
  TBoardImage image;
  image.Config = BusConfigOf(MainForm->FConfig);
  Core = std::make_unique<TCoreBoardOnLine>(*Board, image);
  MainForm->LoadBtn->click();
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
  EXPECT_EQ(Status(), "");
}

TEST_F(TransferWindowTest, LoadFromAnEmptyBoardEmptiesTheProgram) {
  Start();
  ASSERT_EQ(MainForm->FInsCount, 3);
  MainForm->LoadBtn->click();
  EXPECT_EQ(MainForm->FInsCount, 0);
  EXPECT_EQ(MainForm->InsList->topLevelItemCount(), 0);
  EXPECT_TRUE(StoredProgram().empty());
}

TEST_F(TransferWindowTest, ATimeOutAtWordFiveLeavesListTableAndMemoryAsTheyWere) {
  Start(BoardWith(0, 10));
  const auto bufferBefore = MainForm->FInsBuf;
  const auto rowsBefore = InsRows();
  SilentAt(CmdGetInst, 4);
  MainForm->LoadBtn->click();
  EXPECT_EQ(Status(), "Wait response...");
  EXPECT_EQ(Core->Codes().size(), 3u + 5);
  EXPECT_TRUE(MainForm->FInsBuf == bufferBefore) << "no word read so far reached the program";
  EXPECT_EQ(MainForm->FInsCount, 3);
  EXPECT_EQ(InsRows(), rowsBefore);
  EXPECT_EQ(StoredProgram(), OldProgram());
}

TEST_F(TransferWindowTest, ABoardWithThreeHundredWordsIsRefusedAndNothingChanges) {
  Start(BoardWith(2, 0));
  Core->SetOverride([](const TPayloadStu& r, std::vector<TPayloadStu>& answers) {
    if (r.Code() != CmdGetCounts) return false;
    TPayloadStu counts = MakeAnswer(CmdGetCounts);
    counts.Bytes[1] = 2;
    counts.SetU16(2, 300);
    answers = {counts};
    return true;
  });
  const long before = Statements();
  MainForm->LoadBtn->click();
  EXPECT_EQ(Status(), TooManyWordsText(300));
  EXPECT_EQ(Core->Codes(), (std::vector<int>{CmdLoadBegin, CmdGetCounts}));
  EXPECT_EQ(Statements(), before);
  EXPECT_EQ(MainForm->NodeList->topLevelItemCount(), 0);
  EXPECT_EQ(ProgramInMemory(), OldProgram());
}

TEST_F(TransferWindowTest, ANodeTheDatabaseRefusesIsDroppedAndTheOthersStillCome) {
  MakeDatabase();
  Sql("CREATE TRIGGER RefuseSecond BEFORE INSERT ON NodeTable WHEN NEW.NodeName = 'Node2' "
      "BEGIN SELECT RAISE(FAIL, 'refused'); END");
  Start(BoardWith(3, 0));
  MainForm->LoadBtn->click();
  ASSERT_EQ(MainForm->NodeList->topLevelItemCount(), 2);
  EXPECT_EQ(MainForm->NodeList->topLevelItem(1)->text(0), "Node3");
  EXPECT_TRUE(Errors.Texts().isEmpty()) << "a refused node is dropped without a word";
  EXPECT_EQ(Status(), "");
}

}  // namespace
