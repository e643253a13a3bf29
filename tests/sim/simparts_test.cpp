// The parts of the virtual board around its core: the flash file, finding
// frames in a noisy stream, the command line, the dosdevices link, the fault
// plan, the frame log and the servo model.
#include <gtest/gtest.h>

#include <QFile>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "comlink.h"
#include "faults.h"
#include "flash.h"
#include "framelog.h"
#include "framescanner.h"
#include "options.h"
#include "servo.h"
#include "testsupport.h"
#include "textfiles.h"

namespace {

std::string Local(const TTempCwd& cwd, const char* name) { return cwd.File(name).toStdString(); }


TBoardImage FullImage() {
  TBoardImage image;
  image.Config.CANBaud = 7;
  image.Config.RS485Baud = -1;
  image.Config.Pri = 31;
  image.Config.IsExtID = true;
  image.Config.AutoStart = true;
  image.Config.AutoRpt = false;
  image.Config.PWMRpt = true;
  for (std::size_t i = 0; i < MaxBoardNodes; ++i)
    image.Nodes.push_back({static_cast<std::uint8_t>(i % 3), static_cast<std::uint8_t>(255 - i)});
  for (std::size_t i = 0; i < MaxBoardWords; ++i) image.Program.push_back(0x9E3779B9u * static_cast<std::uint32_t>(i + 1));
  return image;
}

// --- flash -------------------------------------------------------------------

TEST(Flash, FormatAndParseRoundTrip) {
  for (const TBoardImage& image : {TBoardImage{}, FullImage()}) {
    const TFlashParse parsed = ParseFlash(FormatFlash(image));
    ASSERT_TRUE(parsed.Ok) << parsed.Error;
    EXPECT_EQ(parsed.Image, image);
  }
}

TEST(Flash, TextIsSmallAndReadable) {
  TBoardImage image;
  image.Config.CANBaud = 3;
  image.Config.RS485Baud = 2;
  image.Config.Pri = 5;
  image.Config.IsExtID = true;
  image.Config.AutoStart = true;
  image.Config.AutoRpt = true;
  image.Config.PWMRpt = true;
  image.Nodes = {{1, 5}};
  image.Program = {0x00640009};
  EXPECT_EQ(FormatFlash(image),
            "servo-board-sim flash 1\nconfig 03 02 85 07\nnode 01 05\nword 00640009\nend 1 1\n");
}

TEST(Flash, CorruptTextIsRefusedWithTheReason) {
  const std::string good = FormatFlash(FullImage());
  const std::string head = "servo-board-sim flash 1\nconfig 03 02 85 07\n";
  struct TCase {
    const char* Name;
    std::string Text;
    const char* Reason;
  };
  const TCase cases[] = {
      {"empty", "", "line 1"},
      {"other magic", "servo-board-sim flash 2\n", "line 1"},
      {"binary garbage", std::string("\xFE\xAC\x00\x01", 4), "line 1"},
      {"cut short", good.substr(0, good.size() / 2), ""},
      {"no end line", head + "node 01 05\n", "end line is missing"},
      {"counts do not match", head + "node 01 05\nend 2 0\n", "line 4"},
      {"no config", "servo-board-sim flash 1\nend 0 0\n", "no config"},
      {"two configs", head + "config 03 02 85 07\nend 0 0\n", "line 3"},
      {"short hex byte", head + "node 1 05\nend 1 0\n", "line 3"},
      {"not hex", head + "word 0064000G\nend 0 1\n", "line 3"},
      {"word too long", head + "word 000640009\nend 0 1\n", "line 3"},
      {"extra field", head + "node 01 05 07\nend 1 0\n", "line 3"},
      {"unknown entry", head + "wire 01\nend 0 0\n", "unknown entry"},
      {"text after end", head + "end 0 0\nnode 01 05\n", "line 4"},
      {"negative count", head + "end -1 0\n", "line 3"},
      {"empty line", head + "\nend 0 0\n", "line 3"},
  };
  for (const TCase& c : cases) {
    const TFlashParse parsed = ParseFlash(c.Text);
    EXPECT_FALSE(parsed.Ok) << c.Name;
    EXPECT_NE(parsed.Error.find(c.Reason), std::string::npos) << c.Name << ": " << parsed.Error;
    EXPECT_TRUE(parsed.Image.Nodes.empty() && parsed.Image.Program.empty()) << c.Name;
  }
}

TEST(Flash, TooManyNodesOrWordsAreRefused) {
  std::string nodes = "servo-board-sim flash 1\nconfig 00 00 00 00\n";
  for (int i = 0; i < 256; ++i) nodes += "node 01 05\n";
  EXPECT_NE(ParseFlash(nodes + "end 256 0\n").Error.find("more than 255 nodes"), std::string::npos);
  std::string words = "servo-board-sim flash 1\nconfig 00 00 00 00\n";
  for (int i = 0; i < 257; ++i) words += "word 00000000\n";
  EXPECT_NE(ParseFlash(words + "end 0 257\n").Error.find("more than 256 words"), std::string::npos);
}

TEST(Flash, FileRoundTripIsAtomic) {
  TTempCwd cwd;
  const std::string path = Local(cwd, "board.flash");
  EXPECT_EQ(LoadFlashFile(path).State, TFlashFileState::Missing);
  std::string error;
  ASSERT_TRUE(SaveFlashFile(path, TBoardImage{}, error)) << error;
  ASSERT_TRUE(SaveFlashFile(path, FullImage(), error)) << error;
  EXPECT_FALSE(QFile::exists(cwd.File("board.flash.tmp")));
  const TFlashLoad load = LoadFlashFile(path);
  ASSERT_EQ(load.State, TFlashFileState::Loaded) << load.Error;
  EXPECT_EQ(load.Image, FullImage());
}

TEST(Flash, UnwritablePlaceKeepsTheOldFileAndSaysWhy) {
  TTempCwd cwd;
  std::string error;
  EXPECT_FALSE(SaveFlashFile(Local(cwd, "no/such/dir/board.flash"), FullImage(), error));
  EXPECT_NE(error.find("no/such/dir"), std::string::npos) << error;
  // A directory standing where the file should go cannot be replaced.
  ASSERT_EQ(::mkdir(Local(cwd, "taken").c_str(), 0755), 0);
  EXPECT_FALSE(SaveFlashFile(Local(cwd, "taken"), FullImage(), error));
  EXPECT_FALSE(QFile::exists(cwd.File("taken.tmp")));
}

TEST(Flash, CorruptOrUnreadableFilesLoadEmpty) {
  TTempCwd cwd;
  const std::string garbage = Local(cwd, "garbage.flash");
  WriteText(garbage, "this is not a flash file\n");
  const std::string huge = Local(cwd, "huge.flash");
  WriteText(huge, "servo-board-sim flash 1\n" + std::string(200000, '#'));
  const std::string dir = Local(cwd, "dir.flash");
  ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
  for (const std::string& path : {garbage, huge, dir}) {
    const TFlashLoad load = LoadFlashFile(path);
    EXPECT_EQ(load.State, TFlashFileState::Corrupt) << path;
    EXPECT_FALSE(load.Error.empty()) << path;
    EXPECT_EQ(load.Image, TBoardImage{}) << path;
  }
}

// --- finding frames -------------------------------------------------------------

TFrame Request(std::initializer_list<int> bytes) {
  TPayloadStu p;
  int i = 0;
  for (int b : bytes) p.Bytes[i++] = static_cast<std::uint8_t>(b);
  return BuildFrame(p);
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<std::uint8_t> Bytes(const TFrame& f) { return {f.begin(), f.end()}; }

TFrame Spoiled(TFrame f, std::size_t at, std::uint8_t value) {
  f[at] = value;
  return f;
}

std::vector<TFrame> ScanInPieces(const std::vector<std::uint8_t>& stream, std::size_t piece) {
  TFrameScanner scanner;
  std::vector<TFrame> frames;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    scanner.Feed(stream.data() + at, std::min(piece, stream.size() - at));
    while (const auto f = scanner.Next()) frames.push_back(*f);
  }
  EXPECT_LT(scanner.Pending(), FrameSize);
  return frames;
}

TEST(FrameScanner, ResynchronisesOnTheNextGoodFrame) {
  const TFrame counts = Request({2});
  const TFrame node = Request({5, 1});
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Stream;
    std::vector<TFrame> Frames;
  };
  const TCase cases[] = {
      {"one frame", Bytes(counts), {counts}},
      {"two frames back to back", Join({Bytes(counts), Bytes(node)}), {counts, node}},
      {"noise before and between", Join({{0x00, 0x0A, 0x13}, Bytes(counts), {0xFF, 0x0A}, Bytes(node)}), {counts, node}},
      {"bad checksum, then a good frame", Join({Bytes(Spoiled(counts, 10, 0x03)), Bytes(node)}), {node}},
      {"wrong second sync byte", Join({Bytes(Spoiled(counts, 1, 0xAD)), Bytes(node)}), {node}},
      {"wrong end byte", Join({Bytes(Spoiled(counts, 11, 0x0B)), Bytes(node)}), {node}},
      {"direction bit set (an answer, not a request)", Join({Bytes(BuildFrame(MakeAnswer(2))), Bytes(node)}), {node}},
      {"a stray 0xFE just before a frame", Join({{0xFE, 0x01}, Bytes(counts)}), {counts}},
      {"a frame cut short, then a whole one", Join({{0xFE, 0xAC, 0x02, 0x00}, Bytes(node)}), {node}},
      {"only noise", std::vector<std::uint8_t>(100, 0x0A), {}},
      {"only 0xFE", std::vector<std::uint8_t>(100, 0xFE), {}},
  };
  for (const TCase& c : cases)
    for (std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{7}, std::size_t{4096}})
      EXPECT_EQ(ScanInPieces(c.Stream, piece), c.Frames) << c.Name << ", pieces of " << piece;
}

TEST(FrameScanner, CountsRejectedWindowsAndReadsAnswersWhenAsked) {
  TFrameScanner requests;
  const TFrame answer = BuildFrame(MakeAnswer(2));
  requests.Feed(answer.data(), answer.size());
  EXPECT_FALSE(requests.Next());
  EXPECT_EQ(requests.Rejected(), 1u);
  TFrameScanner answers(IsValidFrame);
  answers.Feed(answer.data(), answer.size());
  EXPECT_EQ(answers.Next(), answer);
}

// --- command line ------------------------------------------------------------------

TEST(Options, Defaults) {
  const TOptionsParse parsed = ParseOptions({});
  ASSERT_TRUE(parsed.Ok);
  EXPECT_EQ(parsed.Options.Com, 1);
  EXPECT_EQ(parsed.Options.Dir, ".");
  EXPECT_TRUE(parsed.Options.FlashFile.empty());
  EXPECT_EQ(parsed.Options.LatencyMs, 0);
  EXPECT_EQ(parsed.Options.DropEvery, 0u);
  EXPECT_EQ(parsed.Options.BadChecksumEvery, 0u);
  EXPECT_FALSE(parsed.Options.Noise);
  EXPECT_FALSE(parsed.Options.Seed.has_value());
  EXPECT_TRUE(parsed.Options.LogFile.empty());
  EXPECT_FALSE(parsed.Options.Help);
}

TEST(Options, TakesEveryOption) {
  const TOptionsParse parsed =
      ParseOptions({"--com", "3", "--dir=/tmp/x", "--flash", "f.txt", "--latency", "20", "--drop-every", "5",
                    "--bad-checksum-every=7", "--noise", "--seed", "4294967295", "--log", "l.txt", "--help"});
  ASSERT_TRUE(parsed.Ok) << parsed.Error;
  const TSimOptions& o = parsed.Options;
  EXPECT_EQ(o.Com, 3);
  EXPECT_EQ(o.Dir, "/tmp/x");
  EXPECT_EQ(o.FlashFile, "f.txt");
  EXPECT_EQ(o.LatencyMs, 20);
  EXPECT_EQ(o.DropEvery, 5u);
  EXPECT_EQ(o.BadChecksumEvery, 7u);
  EXPECT_TRUE(o.Noise);
  EXPECT_EQ(o.Seed, 4294967295u);
  EXPECT_EQ(o.LogFile, "l.txt");
  EXPECT_TRUE(o.Help);
}

TEST(Options, RefusesBadInputWithAClearMessage) {
  struct TCase {
    std::vector<std::string> Args;
    const char* Says;
  };
  const TCase cases[] = {
      {{"--com"}, "--com needs a port number"},
      {{"--com", "0"}, "not '0'"},
      {{"--com", "256"}, "not '256'"},
      {{"--com", "-1"}, "not '-1'"},
      {{"--com", "3x"}, "not '3x'"},
      {{"--com", ""}, "not ''"},
      {{"--latency", "60001"}, "--latency needs"},
      {{"--drop-every", "0"}, "--drop-every needs"},
      {{"--seed", "4294967296"}, "--seed needs"},
      {{"--seed", "99999999999999999999999"}, "--seed needs"},
      {{"--dir="}, "--dir needs a directory"},
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"--noise=1"}, "unknown option '--noise=1'"},
      {{"com1"}, "unknown option 'com1'"},
  };
  for (const TCase& c : cases) {
    const TOptionsParse parsed = ParseOptions(c.Args);
    EXPECT_FALSE(parsed.Ok) << c.Says;
    EXPECT_NE(parsed.Error.find(c.Says), std::string::npos) << parsed.Error;
  }
}

// --- the dosdevices link -------------------------------------------------------------

TEST(ComLink, PathIsDirDosdevicesComN) {
  EXPECT_EQ(ComLinkPath("/tmp/x", 3), "/tmp/x/dosdevices/com3");
  EXPECT_EQ(ComLinkPath("/tmp/x//", 12), "/tmp/x/dosdevices/com12");
  EXPECT_EQ(ComLinkPath("/", 1), "/dosdevices/com1");
}

TEST(ComLink, TellsFreeStaleAndForeignPaths) {
  TTempCwd cwd;
  TPtyPair livePty;
  WriteText(Local(cwd, "file"), "x");
  ASSERT_EQ(::mkdir(Local(cwd, "dir").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("/dev/pts/999999", Local(cwd, "stale").c_str()), 0);
  ASSERT_EQ(::symlink(livePty.SlavePath().c_str(), Local(cwd, "live").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/null", Local(cwd, "null").c_str()), 0);
  ASSERT_EQ(::symlink(Local(cwd, "gone").c_str(), Local(cwd, "dangling").c_str()), 0);
  const std::pair<const char*, TLinkPathState> cases[] = {
      {"absent", TLinkPathState::Free},      {"file", TLinkPathState::Foreign},
      {"dir", TLinkPathState::Foreign},      {"stale", TLinkPathState::Stale},
      {"live", TLinkPathState::Foreign},     {"null", TLinkPathState::Foreign},
      {"dangling", TLinkPathState::Foreign},
  };
  for (const auto& [name, state] : cases) EXPECT_EQ(InspectLinkPath(Local(cwd, name)), state) << name;
}

TEST(ComLink, CreatesReplacesStaleRefusesForeignAndRemovesOnlyItsOwn) {
  TTempCwd cwd;
  const std::string path = ComLinkPath(cwd.Path().toStdString(), 4);
  std::string error;
  ASSERT_TRUE(CreateComLink(path, "/dev/pts/999998", error)) << error;  // makes dosdevices/
  EXPECT_EQ(InspectLinkPath(path), TLinkPathState::Stale);
  ASSERT_TRUE(CreateComLink(path, "/dev/pts/999997", error)) << error;
  char target[64] = {};
  ASSERT_GT(::readlink(path.c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "/dev/pts/999997");
  RemoveComLink(path, "/dev/pts/123");  // not ours: left alone
  EXPECT_EQ(InspectLinkPath(path), TLinkPathState::Stale);
  RemoveComLink(path, "/dev/pts/999997");
  EXPECT_EQ(InspectLinkPath(path), TLinkPathState::Free);
  WriteText(path, "operator's file");
  EXPECT_FALSE(CreateComLink(path, "/dev/pts/999997", error));
  EXPECT_NE(error.find("is not a stale link"), std::string::npos) << error;
  EXPECT_EQ(ReadText(path), "operator's file");
  EXPECT_FALSE(CreateComLink(Local(cwd, "missing/dosdevices/com1"), "/dev/pts/1", error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

// --- faults ----------------------------------------------------------------------------

TEST(Faults, EveryNthRequestAndAnswer) {
  TFaultPlan plan(3, 2, false, 1);
  std::vector<bool> drops, spoils;
  for (int i = 0; i < 6; ++i) drops.push_back(plan.DropsNextRequest());
  for (int i = 0; i < 4; ++i) spoils.push_back(plan.SpoilsNextAnswer());
  EXPECT_EQ(drops, (std::vector<bool>{false, false, true, false, false, true}));
  EXPECT_EQ(spoils, (std::vector<bool>{false, true, false, true}));
  EXPECT_TRUE(plan.NoiseBytes().empty());
  TFaultPlan none(0, 0, false, 1);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(none.DropsNextRequest() || none.SpoilsNextAnswer());
}

TEST(Faults, NoiseNeverHoldsAFrameStartAndFollowsTheSeed) {
  TFaultPlan a(0, 0, true, 42), b(0, 0, true, 42);
  std::vector<std::uint8_t> all;
  for (int i = 0; i < 2000; ++i) {
    const std::vector<std::uint8_t> noise = a.NoiseBytes();
    EXPECT_EQ(noise, b.NoiseBytes());
    EXPECT_GE(noise.size(), 1u);
    EXPECT_LE(noise.size(), 4u);
    all.insert(all.end(), noise.begin(), noise.end());
  }
  EXPECT_EQ(std::count(all.begin(), all.end(), FrameSync1), 0);
  EXPECT_GT(std::count(all.begin(), all.end(), 0xFF), 0);  // the byte above 0xFE still occurs
}

TEST(Faults, SpoiledChecksumFailsTheCheck) {
  TFrame frame = BuildFrame(MakeAnswer(2));
  TFaultPlan::SpoilChecksum(frame);
  EXPECT_FALSE(IsValidFrame(frame.data()));
}

// --- frame log ----------------------------------------------------------------------------

TEST(FrameLog, OneHexLinePerFrame) {
  TTempCwd cwd;
  const TFrame frame = BuildFrame(MakeRequest(CmdGetCounts));
  EXPECT_EQ(FormatFrameLine("rx", frame.data(), frame.size()), "rx FE AC 02 00 00 00 00 00 00 00 02 0A");
  TFrameLog log;
  std::string error;
  ASSERT_TRUE(log.Open(Local(cwd, "frames.log"), error)) << error;
  log.Write("rx", frame.data(), frame.size());
  log.Write("tx", frame.data(), 2);
  EXPECT_EQ(ReadText(Local(cwd, "frames.log")), "rx FE AC 02 00 00 00 00 00 00 00 02 0A\ntx FE AC\n");
  TFrameLog bad;
  EXPECT_FALSE(bad.Open(Local(cwd, "no/dir/frames.log"), error));
  EXPECT_NE(error.find("no/dir/frames.log"), std::string::npos);
}

// --- servo model ------------------------------------------------------------------------------

TEST(ServoModel, TurnsAtBoundedSpeedAndLandsOnTheAngle) {
  TServoModel servo;
  servo.Command(-45);
  servo.Advance(100);
  EXPECT_NEAR(servo.PositionDeg(), -30.0, 1e-9);
  servo.Advance(1000);
  EXPECT_DOUBLE_EQ(servo.PositionDeg(), -45.0);
  servo.Advance(-5);  // time never runs back
  EXPECT_DOUBLE_EQ(servo.PositionDeg(), -45.0);
}

TEST(ServoModel, CurrentRisesWhileMovingDecaysWhenStillAndWarmsTheServo) {
  TServoModel servo;
  EXPECT_DOUBLE_EQ(servo.TemperatureC(), TServoModel::AmbientC);
  servo.Command(90);
  servo.Advance(200);
  const double moving = servo.CurrentA();
  EXPECT_GT(moving, 1.0);
  servo.Advance(300);  // arrived at 300 ms, still for 200 ms
  EXPECT_LT(servo.CurrentA(), 0.1);
  EXPECT_GT(servo.TemperatureC(), TServoModel::AmbientC);
  for (int i = 0; i < 200; ++i) {
    servo.Command(i % 2 ? 90 : -90);
    servo.Advance(600);
  }
  const double warm = servo.TemperatureC();
  EXPECT_GT(warm, 35.0);
  servo.Advance(600000);
  EXPECT_LT(servo.TemperatureC(), warm);
  EXPECT_NEAR(servo.TemperatureC(), TServoModel::AmbientC + TServoModel::HeatPerAmpC * TServoModel::IdleCurrentA, 0.1);
}

}  // namespace
