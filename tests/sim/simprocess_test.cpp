// servo-board-sim as a process: it is started on a temporary directory, the
// test opens its dosdevices link the way the program opens a serial port and
// plays the program's side of the line.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <chrono>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "boardimage.h"
#include "flash.h"
#include "frame.h"
#include "framescanner.h"
#include "simwords.h"
#include "textfiles.h"
#include "testsupport.h"

namespace {

constexpr int AnswerWaitMs = 2000;
constexpr int NoAnswerWaitMs = 300;

QString SimPath() { return QString::fromLocal8Bit(qgetenv("SERVO_BOARD_SIM")); }


bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// One run of the simulator.
class TSimProcess {
 public:
  explicit TSimProcess(const QStringList& args) {
    FProcess.setProgram(SimPath());
    FProcess.setArguments(args);
    FProcess.start();
  }
  ~TSimProcess() {
    if (FProcess.state() == QProcess::NotRunning) return;
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000)) FProcess.kill();
    FProcess.waitForFinished(5000);
  }

  // Waits for the line that names the link and returns the link's path;
  // empty when the simulator ended or said nothing in time.
  std::string WaitForLink() {
    const QRegularExpression line("^servo-board-sim: COM(\\d+) is (.+) -> (/dev/pts/\\d+)$");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      if (FProcess.canReadLine()) {
        const QString text = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
        const QRegularExpressionMatch m = line.match(text);
        if (m.hasMatch()) return m.captured(2).toStdString();
        ADD_FAILURE() << "unexpected output: " << text.toStdString();
      } else if (!FProcess.waitForReadyRead(100) && FProcess.state() == QProcess::NotRunning) {
        break;
      }
    }
    return {};
  }

  // Sends SIGTERM and returns the exit code (-1 when it did not end normally).
  int Stop() {
    FProcess.terminate();
    return WaitForExit();
  }
  int WaitForExit() {
    if (!FProcess.waitForFinished(10000)) return -1;
    return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
  }
  void Signal(int signal) const { ::kill(static_cast<pid_t>(FProcess.processId()), signal); }
  std::string Stdout() { return FProcess.readAllStandardOutput().toStdString(); }
  std::string Stderr() { return FProcess.readAllStandardError().toStdString(); }

 private:
  QProcess FProcess;
};

// The program's end of the line: the link opened as a serial port in raw mode.
class TBoardPort {
 public:
  explicit TBoardPort(const std::string& path) { Open(path); }
  ~TBoardPort() { Close(); }
  TBoardPort(const TBoardPort&) = delete;
  TBoardPort& operator=(const TBoardPort&) = delete;

  void Open(const std::string& path) {
    FFd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (FFd < 0) return;
    termios t{};
    ::tcgetattr(FFd, &t);
    cfmakeraw(&t);
    ::tcsetattr(FFd, TCSANOW, &t);
  }
  void Close() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
  }
  bool IsOpen() const { return FFd >= 0; }

  void SendBytes(const std::vector<std::uint8_t>& bytes) const {
    ASSERT_EQ(::write(FFd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void Send(const TPayloadStu& request) const {
    const TFrame frame = BuildFrame(request);
    SendBytes({frame.begin(), frame.end()});
  }

  // Raw bytes as they arrive, until `want` are there or the time is up.
  std::vector<std::uint8_t> ReadRaw(std::size_t want, int timeoutMs) const {
    std::vector<std::uint8_t> got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < want) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{FFd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(FFd, buffer, sizeof buffer);
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // Good frames from the board, until `want` are there or the time is up.
  std::vector<TPayloadStu> ReadFrames(std::size_t want, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (FFrames.size() < want) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      const std::vector<std::uint8_t> bytes = ReadRaw(1, static_cast<int>(left.count()));
      FScanner.Feed(bytes.data(), bytes.size());
      while (const auto f = FScanner.Next()) FFrames.push_back(PayloadOf(f->data()));
    }
    const std::size_t n = std::min(want, FFrames.size());
    std::vector<TPayloadStu> frames(FFrames.begin(), FFrames.begin() + static_cast<std::ptrdiff_t>(n));
    FFrames.erase(FFrames.begin(), FFrames.begin() + static_cast<std::ptrdiff_t>(n));
    return frames;
  }

  // Sends a request and waits for the frame that answers it; reports that
  // come first are passed over.
  std::optional<TPayloadStu> Transact(const TPayloadStu& request, int timeoutMs = AnswerWaitMs) {
    Send(request);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      for (const TPayloadStu& frame : ReadFrames(1, static_cast<int>(left.count()) + 1))
        if (frame.Head() != HeadReport && frame.Code() == request.Code()) return frame;
    }
    return std::nullopt;
  }

  TPayloadStu Answer(const TPayloadStu& request) {
    const std::optional<TPayloadStu> answer = Transact(request);
    EXPECT_TRUE(answer.has_value()) << "no answer to code " << int(request.Code());
    return answer.value_or(TPayloadStu{});
  }

  // Reports the board sent, taken until `want` are there or the time is up.
  std::vector<TPayloadStu> Reports(std::size_t want, int timeoutMs) {
    std::vector<TPayloadStu> reports;
    for (const TPayloadStu& f : ReadFrames(want, timeoutMs))
      if (f.Head() == HeadReport) reports.push_back(f);
    return reports;
  }

 private:
  int FFd = -1;
  TFrameScanner FScanner{IsValidFrame};
  std::deque<TPayloadStu> FFrames;
};

struct TRunningSim {
  explicit TRunningSim(const TTempCwd& dir, QStringList extra = {})
      : Process(QStringList{"--dir", dir.Path()} + extra), Link(Process.WaitForLink()), Port(Link) {}
  TSimProcess Process;
  std::string Link;
  TBoardPort Port;
};

bool IsError(const TPayloadStu& answer, std::uint8_t code, int error) {
  return answer.Head() == (HeadDirFlag | HeadErrorFlag | code) && answer.U8(1) == error;
}

TBusConfigBlock SampleConfig() {
  TBusConfigBlock c;
  c.CANBaud = 4;
  c.RS485Baud = 7;
  c.Pri = 9;
  c.IsExtID = true;
  c.PWMRpt = true;
  return c;
}

const std::vector<TNodeEntry> SampleNodes = {{1, 0x05}, {2, 0x1A}, {0, 0x7F}};

std::vector<std::uint32_t> TenWords() {
  std::vector<std::uint32_t> words = SwingProgram(1, 5);
  words.resize(10);
  words[9] = 0xFFFFFFFF;  // words the board does not know are kept all the same
  return words;
}

// The Program button's sequence.
void ProgramBoard(TBoardPort& port, const TBusConfigBlock& config, const std::vector<TNodeEntry>& nodes,
                  const std::vector<std::uint32_t>& words) {
  EXPECT_EQ(port.Answer(MakeSetBusConfig(config)).Head(), 0x83);
  EXPECT_EQ(port.Answer(MakeErase()).Head(), 0x8C);
  for (const TNodeEntry& n : nodes) EXPECT_EQ(port.Answer(MakeAddNode(n.Bus, n.Addr)).Head(), 0x86);
  for (std::size_t i = 0; i < words.size(); ++i)
    EXPECT_EQ(port.Answer(MakeSetInst(static_cast<int>(i), words[i])).Head(), 0x8A);
  EXPECT_EQ(port.Answer(MakeStore()).Head(), 0x8D);
}

// The Load button's sequence.
TBoardImage LoadBoard(TBoardPort& port) {
  TBoardImage image;
  EXPECT_EQ(port.Answer(MakeRequest(CmdLoadBegin)).Head(), 0x81);
  const TCounts counts = ReadCounts(port.Answer(MakeRequest(CmdGetCounts)));
  image.Config = ReadBusConfig(port.Answer(MakeRequest(CmdGetBusConfig)));
  for (int i = 0; i < counts.Nodes; ++i) {
    const TNodeAnswer node = ReadNodeAnswer(port.Answer(MakeGetNode(i)));
    image.Nodes.push_back({static_cast<std::uint8_t>(node.Channel), static_cast<std::uint8_t>(node.Addr)});
  }
  for (int i = 0; i < counts.Words; ++i) image.Program.push_back(ReadInstAnswer(port.Answer(MakeGetInst(i))));
  return image;
}

TEST(SimProcess, ProgramThenLoadReturnsTheSameAndTheFlashKeepsIt) {
  TTempCwd dir;
  const QString flash = dir.File("board.flash");
  const TBoardImage want{SampleConfig(), SampleNodes, TenWords()};
  {
    TRunningSim sim(dir, {"--flash", flash});
    ASSERT_TRUE(sim.Port.IsOpen()) << sim.Link;
    ProgramBoard(sim.Port, want.Config, want.Nodes, want.Program);
    EXPECT_EQ(LoadBoard(sim.Port), want);
    EXPECT_EQ(sim.Process.Stop(), 0);
  }
  const TFlashLoad stored = LoadFlashFile(flash.toStdString());
  ASSERT_EQ(stored.State, TFlashFileState::Loaded) << stored.Error;
  EXPECT_EQ(stored.Image, want);
  TRunningSim restarted(dir, {"--flash", flash});
  ASSERT_TRUE(restarted.Port.IsOpen());
  EXPECT_EQ(LoadBoard(restarted.Port), want);
}

TEST(SimProcess, AnswersDeviceErrors) {
  TTempCwd dir;
  TRunningSim sim(dir);
  ASSERT_TRUE(sim.Port.IsOpen());
  TPayloadStu wrongErase = MakeErase();
  wrongErase.Bytes[4] = 'y';
  EXPECT_TRUE(IsError(sim.Port.Answer(wrongErase), CmdErase, 4));
  EXPECT_TRUE(IsError(sim.Port.Answer(MakeGetNode(0)), CmdGetNode, 2));
  EXPECT_EQ(sim.Port.Answer(MakeAddNode(1, 5)).Head(), 0x86);
  EXPECT_TRUE(IsError(sim.Port.Answer(MakeGetNode(1)), CmdGetNode, 2));
  EXPECT_TRUE(IsError(sim.Port.Answer(MakeGetInst(0)), CmdGetInst, 2));
  EXPECT_TRUE(IsError(sim.Port.Answer(MakeRequest(static_cast<TCommand>(7))), 7, 1));
}

std::vector<std::uint32_t> EndlessReporting() {
  return {ReadPos(0, 0), ReadMea(0, 0), Delay(20), SetCount(0, 2), Goto(0, 0)};
}

TEST(SimProcess, PollSendsTheReportsFromTheRequestedNumber) {
  TTempCwd dir;
  TRunningSim sim(dir);
  ASSERT_TRUE(sim.Port.IsOpen());
  ProgramBoard(sim.Port, {}, {{1, 5}, {2, 6}}, EndlessReporting());
  const TPayloadStu start = sim.Port.Answer(MakeRequest(CmdStart));
  EXPECT_EQ(start.Head(), HeadStartAnswer);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // about 15 rounds of 4 reports
  EXPECT_TRUE(sim.Port.Reports(1, NoAnswerWaitMs).empty()) << "reports came without a poll";
  sim.Port.Send(MakePoll(0, 8));
  const std::vector<TPayloadStu> first = sim.Port.Reports(8, AnswerWaitMs);
  ASSERT_EQ(first.size(), 8u);
  EXPECT_EQ(ReadReport(first[0]).Kind, TReportKind::Position);
  EXPECT_EQ(ReadReport(first[0]).Tick, ReadTickAnswer(start));
  EXPECT_EQ(ReadReport(first[0]).Bus, 1);
  EXPECT_EQ(ReadReport(first[1]).Bus, 2);
  EXPECT_EQ(ReadReport(first[2]).Kind, TReportKind::Measurement);
  EXPECT_EQ(ReadReport(first[4]).Tick, static_cast<std::uint16_t>(ReadTickAnswer(start) + 20));
  sim.Port.Send(MakePoll(5, 3));
  const std::vector<TPayloadStu> again = sim.Port.Reports(3, AnswerWaitMs);
  ASSERT_EQ(again.size(), 3u);
  for (std::size_t i = 0; i < again.size(); ++i) EXPECT_EQ(again[i], first[5 + i]) << i;
  sim.Port.Send(MakePoll(8, 0));
  EXPECT_TRUE(sim.Port.ReadFrames(1, NoAnswerWaitMs).empty()) << "a poll for none gets no answer";
  EXPECT_EQ(sim.Port.Answer(MakeRequest(CmdStop)).Head(), HeadStopAnswer);
}

TEST(SimProcess, AutoRptSendsReportsUnasked) {
  TTempCwd dir;
  TRunningSim sim(dir);
  ASSERT_TRUE(sim.Port.IsOpen());
  TBusConfigBlock config;
  config.AutoRpt = true;
  ProgramBoard(sim.Port, config, {{1, 5}}, EndlessReporting());
  EXPECT_EQ(sim.Port.Answer(MakeRequest(CmdStart)).Head(), HeadStartAnswer);
  const std::vector<TPayloadStu> reports = sim.Port.Reports(6, AnswerWaitMs);
  ASSERT_EQ(reports.size(), 6u);
  EXPECT_EQ(ReadReport(reports[0]).Kind, TReportKind::Position);
  EXPECT_EQ(ReadReport(reports[1]).Kind, TReportKind::Measurement);
  EXPECT_EQ(ReadReport(reports[1]).Temperature, 25);
  EXPECT_EQ(sim.Port.Answer(MakeRequest(CmdStop)).Head(), HeadStopAnswer);
}

TEST(SimProcess, StopSignalsRemoveTheLinkAndEndWithZero) {
  for (int signal : {SIGTERM, SIGINT}) {
    TTempCwd dir;
    TSimProcess sim({"--dir", dir.Path(), "--com", "3"});
    const std::string link = sim.WaitForLink();
    EXPECT_EQ(link, dir.File("dosdevices/com3").toStdString());
    EXPECT_TRUE(IsLink(link));
    sim.Signal(signal);
    EXPECT_EQ(sim.WaitForExit(), 0) << signal;
    EXPECT_FALSE(IsLink(link)) << signal;
  }
}

TEST(SimProcess, RefusesAPathThatIsNotItsOwnStaleLink) {
  TTempCwd dir;
  ASSERT_EQ(::mkdir(dir.File("dosdevices").toLocal8Bit().constData(), 0755), 0);
  const std::string taken = dir.File("dosdevices/com1").toStdString();
  WriteText(taken, "operator's file");
  TSimProcess sim({"--dir", dir.Path()});
  EXPECT_EQ(sim.WaitForExit(), 2);
  EXPECT_NE(sim.Stderr().find("is not a stale link"), std::string::npos);
  EXPECT_EQ(ReadText(taken), "operator's file");
}

TEST(SimProcess, ReplacesItsOwnStaleLink) {
  TTempCwd dir;
  ASSERT_EQ(::mkdir(dir.File("dosdevices").toLocal8Bit().constData(), 0755), 0);
  ASSERT_EQ(::symlink("/dev/pts/999999", dir.File("dosdevices/com2").toLocal8Bit().constData()), 0);
  TRunningSim sim(dir, {"--com", "2"});
  ASSERT_TRUE(sim.Port.IsOpen());
  EXPECT_EQ(sim.Port.Answer(MakeRequest(CmdGetCounts)).Head(), 0x82);
}

TEST(SimProcess, KeepsServingWhileThePortIsClosedAndReopened) {
  TTempCwd dir;
  TRunningSim sim(dir);
  ASSERT_TRUE(sim.Port.IsOpen());
  EXPECT_EQ(sim.Port.Answer(MakeAddNode(1, 5)).Head(), 0x86);
  for (int round = 0; round < 3; ++round) {
    sim.Port.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sim.Port.Open(sim.Link);
    ASSERT_TRUE(sim.Port.IsOpen());
    EXPECT_EQ(ReadCounts(sim.Port.Answer(MakeRequest(CmdGetCounts))).Nodes, 1) << round;
  }
}

TEST(SimProcess, SkipsMalformedFramesAndFindsTheNextGoodOne) {
  TTempCwd dir;
  TRunningSim sim(dir);
  ASSERT_TRUE(sim.Port.IsOpen());
  TFrame badSum = BuildFrame(MakeAddNode(1, 1));
  badSum[10] ^= 0x01;
  TFrame answerLike = BuildFrame(MakeAnswer(CmdAddNode));
  TFrame badSync = BuildFrame(MakeAddNode(1, 2));
  badSync[1] = 0xAB;
  std::vector<std::uint8_t> stream = {0x00, 0x0A, 0xFE, 0x13};
  for (const TFrame& f : {badSum, answerLike, badSync}) stream.insert(stream.end(), f.begin(), f.end());
  sim.Port.SendBytes(stream);
  const TCounts counts = ReadCounts(sim.Port.Answer(MakeRequest(CmdGetCounts)));
  EXPECT_EQ(counts.Nodes, 0) << "a malformed AddNode was carried out";
  EXPECT_TRUE(sim.Port.ReadFrames(1, NoAnswerWaitMs).empty()) << "malformed frames got an answer";
}

TEST(SimProcess, SurvivesRandomBytesAndAnswersAfterwards) {
  TTempCwd dir;
  TRunningSim sim(dir);
  ASSERT_TRUE(sim.Port.IsOpen());
  std::mt19937 random(99);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int chunk = 0; chunk < 64; ++chunk) {
    std::vector<std::uint8_t> noise(1024);
    for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(byte(random));
    sim.Port.SendBytes(noise);
    sim.Port.ReadRaw(1 << 20, 5);  // answers to frames hidden in the noise, if any
  }
  sim.Port.SendBytes(std::vector<std::uint8_t>(FrameSize, 0x00));  // ends any frame begun in the noise
  sim.Port.ReadRaw(1 << 20, NoAnswerWaitMs);
  TBoardPort fresh(sim.Link);
  EXPECT_EQ(fresh.Answer(MakeRequest(CmdLoadBegin)).Head(), 0x81);
  EXPECT_EQ(sim.Process.Stop(), 0);
}

TEST(SimProcess, DropsEveryNthAnswer) {
  TTempCwd dir;
  TRunningSim sim(dir, {"--drop-every", "2"});
  ASSERT_TRUE(sim.Port.IsOpen());
  EXPECT_TRUE(sim.Port.Transact(MakeRequest(CmdGetCounts)).has_value());
  EXPECT_FALSE(sim.Port.Transact(MakeAddNode(1, 5), NoAnswerWaitMs).has_value());
  const std::optional<TPayloadStu> third = sim.Port.Transact(MakeRequest(CmdGetCounts));
  ASSERT_TRUE(third.has_value());
  EXPECT_EQ(ReadCounts(*third).Nodes, 1) << "the request whose answer was lost is still carried out";
}

TEST(SimProcess, SpoilsTheChecksumOfEveryNthAnswer) {
  TTempCwd dir;
  TRunningSim sim(dir, {"--bad-checksum-every", "2"});
  ASSERT_TRUE(sim.Port.IsOpen());
  std::vector<bool> valid;
  for (int i = 0; i < 4; ++i) {
    sim.Port.Send(MakeRequest(CmdGetCounts));
    const std::vector<std::uint8_t> raw = sim.Port.ReadRaw(FrameSize, AnswerWaitMs);
    ASSERT_EQ(raw.size(), FrameSize);
    valid.push_back(raw[0] == FrameSync1 && raw[11] == FrameEnd && IsValidFrame(raw.data()));
  }
  EXPECT_EQ(valid, (std::vector<bool>{true, false, true, false}));
}

TEST(SimProcess, NoiseBetweenFramesNeverHoldsAFrameStart) {
  TTempCwd dir;
  TRunningSim sim(dir, {"--noise", "--seed", "7"});
  ASSERT_TRUE(sim.Port.IsOpen());
  for (int i = 0; i < 5; ++i) sim.Port.Send(MakeRequest(CmdGetCounts));
  // Noise goes before each frame, so the stream is complete with the fifth frame.
  std::vector<std::uint8_t> raw;
  TFrameScanner scanner(IsValidFrame);
  int frames = 0;
  for (int reads = 0; frames < 5 && reads < 100; ++reads) {
    const std::vector<std::uint8_t> bytes = sim.Port.ReadRaw(1, AnswerWaitMs);
    raw.insert(raw.end(), bytes.begin(), bytes.end());
    scanner.Feed(bytes.data(), bytes.size());
    while (scanner.Next()) ++frames;
  }
  EXPECT_EQ(frames, 5);
  EXPECT_GT(raw.size(), 5 * FrameSize);
  EXPECT_EQ(std::count(raw.begin(), raw.end(), FrameSync1), 5);
}

TEST(SimProcess, DelaysAnswersByTheLatency) {
  TTempCwd dir;
  TRunningSim sim(dir, {"--latency", "400"});
  ASSERT_TRUE(sim.Port.IsOpen());
  sim.Port.Send(MakeRequest(CmdGetCounts));
  EXPECT_TRUE(sim.Port.ReadFrames(1, 150).empty());
  EXPECT_EQ(sim.Port.ReadFrames(1, 5000).size(), 1u);
}

TEST(SimProcess, LogsEveryFrameReceivedAndSent) {
  TTempCwd dir;
  const QString log = dir.File("frames.log");
  {
    TRunningSim sim(dir, {"--log", log});
    ASSERT_TRUE(sim.Port.IsOpen());
    sim.Port.Answer(MakeRequest(CmdGetCounts));
    sim.Port.Answer(MakeGetNode(3));
    EXPECT_EQ(sim.Process.Stop(), 0);
  }
  EXPECT_EQ(ReadText(log.toStdString()),
            "rx FE AC 02 00 00 00 00 00 00 00 02 0A\n"
            "tx FE AC 82 00 00 00 00 00 00 00 82 0A\n"
            "rx FE AC 05 03 00 00 00 00 00 00 08 0A\n"
            "tx FE AC C5 02 00 00 00 00 00 00 C7 0A\n");
}

TEST(SimProcess, CorruptFlashFileStartsEmptyWithAMessage) {
  TTempCwd dir;
  const QString flash = dir.File("board.flash");
  WriteText(flash.toStdString(), "servo-board-sim flash 1\nconfig 01 02\n");
  TRunningSim sim(dir, {"--flash", flash});
  ASSERT_TRUE(sim.Port.IsOpen());
  const TCounts counts = ReadCounts(sim.Port.Answer(MakeRequest(CmdGetCounts)));
  EXPECT_EQ(counts.Nodes, 0);
  EXPECT_EQ(counts.Words, 0);
  EXPECT_EQ(sim.Process.Stop(), 0);
  EXPECT_NE(sim.Process.Stderr().find("is corrupt"), std::string::npos);
}

TEST(SimProcess, AutoStartInTheFlashRunsTheProgramAtStartUp) {
  TTempCwd dir;
  const QString flash = dir.File("board.flash");
  TBoardImage image;
  image.Config.AutoStart = true;
  image.Config.AutoRpt = true;
  image.Nodes = {{1, 5}};
  image.Program = EndlessReporting();
  std::string error;
  ASSERT_TRUE(SaveFlashFile(flash.toStdString(), image, error)) << error;
  TRunningSim sim(dir, {"--flash", flash});
  ASSERT_TRUE(sim.Port.IsOpen());
  EXPECT_EQ(sim.Port.Reports(4, AnswerWaitMs).size(), 4u);
  EXPECT_EQ(sim.Port.Answer(MakeRequest(CmdStop)).Head(), HeadStopAnswer);
}

TEST(SimProcess, CommandLineHelpAndErrors) {
  TSimProcess help({"--help"});
  EXPECT_EQ(help.WaitForExit(), 0);
  EXPECT_NE(help.Stdout().find("Usage: servo-board-sim"), std::string::npos);
  TTempCwd dir;
  const std::pair<QStringList, const char*> refused[] = {
      {{"--com", "0"}, "--com needs"},
      {{"--bogus"}, "unknown option"},
      {{"--dir", dir.File("missing")}, "cannot use the directory"},
      {{"--dir", dir.Path(), "--log", dir.File("no/dir/log")}, "cannot write"},
  };
  for (const auto& [args, says] : refused) {
    TSimProcess sim(args);
    EXPECT_EQ(sim.WaitForExit(), 2) << says;
    EXPECT_NE(sim.Stderr().find(says), std::string::npos) << says;
  }
  EXPECT_FALSE(QFile::exists(dir.File("dosdevices/com1")));
}

}  // namespace
