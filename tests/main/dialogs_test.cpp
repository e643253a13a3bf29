#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "exception.h"
#include "insdlg.h"
#include "makedlg.h"
#include "nodedlg.h"
#include "testsupport.h"
#include "updown.h"

namespace {

QStringList ItemsOf(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

QStringList TabChain(QWidget* first, const QStringList& names) {
  QStringList chain;
  QWidget* w = first;
  do {
    if (names.contains(w->objectName()) && !chain.contains(w->objectName())) chain << w->objectName();
    w = w->nextInFocusChain();
  } while (w != first);
  return chain;
}

struct TSpinCase {
  const char* Name;
  int Min, Max, Increment, Position;
  const char* Buddy;
};

template <typename Dialog>
void ExpectSpins(Dialog& dialog, std::initializer_list<TSpinCase> spins) {
  for (const TSpinCase& s : spins) {
    SCOPED_TRACE(s.Name);
    auto* spin = dialog.template findChild<TUpDown*>(QString::fromLatin1(s.Name));
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->Min(), s.Min);
    EXPECT_EQ(spin->Max(), s.Max);
    EXPECT_EQ(spin->Increment(), s.Increment);
    EXPECT_EQ(spin->Position(), s.Position);
    ASSERT_NE(spin->Associate(), nullptr);
    EXPECT_EQ(spin->Associate()->objectName(), QString::fromLatin1(s.Buddy));
    EXPECT_EQ(spin->Associate()->text(), QString::number(s.Position));
  }
}

// Presses a dialog button once the modal loop runs.
int ExecPressing(QDialog& dialog, QPushButton* button) {
  QTimer::singleShot(0, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });
  return dialog.exec();
}

class NodeDlgTest : public testing::Test {
 protected:
  TErrorRecorder Errors;
  TNodeDlg Dialog;
};

TEST_F(NodeDlgTest, HasItsControlsCaptionsAndRanges) {
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("Edit node"));
  EXPECT_EQ(Dialog.size(), QSize(458, 238));
  EXPECT_EQ(Dialog.minimumSize(), Dialog.maximumSize()) << "fixed border";
  EXPECT_EQ(Dialog.font().family(), QStringLiteral("Tahoma"));
  EXPECT_EQ(Dialog.font().pixelSize(), 12);
  EXPECT_EQ(Dialog.NameEdit->maxLength(), 32);
  EXPECT_TRUE(Dialog.NameEdit->text().isEmpty());
  EXPECT_EQ(Dialog.AddrHexEdit->maxLength(), 3);
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("0"));
  EXPECT_EQ(Dialog.AddrHexEdit->geometry(), Dialog.AddrEdit->geometry()) << "the hex box lies over its buddy";
  EXPECT_TRUE(Dialog.AddrEdit->isHidden());
  EXPECT_TRUE(Dialog.AddrEdit->isReadOnly());
  EXPECT_EQ(Dialog.AddrEdit->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(ItemsOf(Dialog.ChannelSel), (QStringList{"CAN", "RS485"}));
  EXPECT_EQ(Dialog.ChannelSel->currentIndex(), 0);
  EXPECT_FALSE(Dialog.ChannelSel->isEditable());
  ExpectSpins(Dialog, {{"AddrUpDown", 0, 100, 1, 0, "AddrEdit"},
                       {"AngleUpDown", 0, 360, 1, 0, "AngleEdit"},
                       {"IntervUpDown", 0, 5000, 50, 0, "IntervEdit"}});
  const struct {
    QLabel* Label;
    const char* Text;
    QWidget* Buddy;
  } labels[] = {{Dialog.NameLabel, "Name:", Dialog.NameEdit},
                {Dialog.AddrLabel, "Addr:", Dialog.AddrHexEdit},
                {Dialog.ChannelLabel, "Bus:", Dialog.ChannelSel},
                {Dialog.AngleLabel, "Angle:", Dialog.AngleEdit},
                {Dialog.IntervLabel, "Interv:", Dialog.IntervEdit}};
  for (const auto& l : labels) {
    EXPECT_EQ(l.Label->text(), QString::fromLatin1(l.Text));
    EXPECT_EQ(l.Label->buddy(), l.Buddy);
  }
  EXPECT_EQ(Dialog.OkBtn->text(), QStringLiteral("&OK"));
  EXPECT_TRUE(Dialog.OkBtn->isDefault());
  EXPECT_EQ(Dialog.CancelBtn->text(), QStringLiteral("&Cancel"));
  const QStringList order = {"NameEdit", "AddrHexEdit", "ChannelSel", "AngleEdit", "IntervEdit", "OkBtn", "CancelBtn"};
  EXPECT_EQ(TabChain(Dialog.NameEdit, order), order);
}

TEST_F(NodeDlgTest, OkAndCancelGiveTheirResults) {
  EXPECT_EQ(ExecPressing(Dialog, Dialog.OkBtn), QDialog::Accepted);
  EXPECT_EQ(ExecPressing(Dialog, Dialog.CancelBtn), QDialog::Rejected);
  QTimer::singleShot(0, &Dialog, [this] { QTest::keyClick(Dialog.NameEdit, Qt::Key_Return); });
  EXPECT_EQ(Dialog.exec(), QDialog::Accepted) << "Enter presses the default button";
  QTimer::singleShot(0, &Dialog, [this] { QTest::keyClick(Dialog.NameEdit, Qt::Key_Escape); });
  EXPECT_EQ(Dialog.exec(), QDialog::Rejected);
}

TNodeStu Node(const char* name, int channel, int addr, int angle, int interv) {
  TNodeStu node = MakeNode(QString::fromLatin1(name), channel, addr, angle, interv);
  node.ID = 77;
  return node;
}

TEST_F(NodeDlgTest, LoadsAndStoresANode) {
  Dialog.LoadNode(Node("Left arm", 1, 10, 90, 400));
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("Edit node"));
  EXPECT_EQ(Dialog.NameEdit->text(), QStringLiteral("Left arm"));
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("0A"));
  EXPECT_EQ(Dialog.ChannelSel->currentText(), QStringLiteral("CAN"));
  EXPECT_EQ(Dialog.AngleEdit->text(), QStringLiteral("90"));
  EXPECT_EQ(Dialog.IntervEdit->text(), QStringLiteral("400"));
  TNodeStu stored;
  stored.ID = 5;
  Dialog.StoreNode(stored);
  EXPECT_EQ(stored.ID, 5) << "ID is not touched";
  EXPECT_EQ(stored.NodeName, QStringLiteral("Left arm"));
  EXPECT_EQ(stored.Channel, 1);
  EXPECT_EQ(stored.Addr, 10);
  EXPECT_EQ(stored.Angle, 90);
  EXPECT_EQ(stored.Interv, 400);
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

struct TNodeRoundTrip {
  const char* Case;
  int Channel, Addr, Angle, Interv;
  const char* HexShown;
  const char* BusShown;
  int StoredChannel, StoredAddr, StoredAngle, StoredInterv;
};

class NodeRoundTripTest : public NodeDlgTest, public testing::WithParamInterface<TNodeRoundTrip> {};

TEST_P(NodeRoundTripTest, ClampsAndMapsTheBus) {
  const TNodeRoundTrip& c = GetParam();
  Dialog.LoadNode(Node("n", c.Channel, c.Addr, c.Angle, c.Interv));
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QString::fromLatin1(c.HexShown));
  EXPECT_EQ(Dialog.ChannelSel->currentText(), QString::fromLatin1(c.BusShown));
  TNodeStu stored;
  Dialog.StoreNode(stored);
  EXPECT_EQ(stored.Channel, c.StoredChannel);
  EXPECT_EQ(stored.Addr, c.StoredAddr);
  EXPECT_EQ(stored.Angle, c.StoredAngle);
  EXPECT_EQ(stored.Interv, c.StoredInterv);
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, NodeRoundTripTest,
    testing::Values(TNodeRoundTrip{"Plain", 2, 0, 0, 0, "00", "RS485", 2, 0, 0, 0},
                    TNodeRoundTrip{"BothBusesLoadAsRS485", 0, 5, 10, 100, "05", "RS485", 2, 5, 10, 100},
                    TNodeRoundTrip{"IntervalOffTheStep", 1, 1, 1, 275, "01", "CAN", 1, 1, 1, 275},
                    TNodeRoundTrip{"AddressAbove100", 1, 200, 30, 50, "64", "CAN", 1, 100, 30, 50},
                    TNodeRoundTrip{"OutOfRange", 1, -3, 999, 99999, "00", "CAN", 1, 0, 360, 5000}),
    [](const testing::TestParamInfo<TNodeRoundTrip>& info) { return std::string(info.param.Case); });

TEST_F(NodeDlgTest, AddAfterEditKeepsTheValuesUnderItsOwnCaption) {
  Dialog.LoadNode(Node("Wrist", 2, 33, 45, 600));
  Dialog.PrepareAdd();
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("Add node"));
  EXPECT_EQ(Dialog.NameEdit->text(), QStringLiteral("Wrist"));
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("21"));
  EXPECT_EQ(Dialog.AddrUpDown->Position(), 33);
  EXPECT_EQ(Dialog.ChannelSel->currentText(), QStringLiteral("RS485"));
}

TEST_F(NodeDlgTest, LoadingTheAddressTheSpinHoldsStillShowsItInHex) {
  Dialog.AddrHexEdit->setText(QStringLiteral("FF"));
  ASSERT_EQ(Dialog.AddrUpDown->Position(), 100);
  Dialog.LoadNode(Node("n", 1, 100, 0, 0));
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("64"));
}

struct THexTyping {
  const char* Typed;
  int Position;
  const char* BoxShows;
};

class HexTypingTest : public NodeDlgTest, public testing::WithParamInterface<THexTyping> {};

TEST_P(HexTypingTest, TypedHexMovesTheSpinAndTheTextStays) {
  Dialog.LoadNode(Node("n", 1, 10, 0, 0));
  Dialog.AddrHexEdit->selectAll();
  QTest::keyClick(Dialog.AddrHexEdit, Qt::Key_Backspace);
  QTest::keyClicks(Dialog.AddrHexEdit, QString::fromLatin1(GetParam().Typed));
  EXPECT_EQ(Dialog.AddrUpDown->Position(), GetParam().Position);
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QString::fromLatin1(GetParam().BoxShows));
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Texts, HexTypingTest,
                         testing::Values(THexTyping{"", 0, ""}, THexTyping{"fff", 100, "fff"},
                                         THexTyping{"FF", 100, "FF"}, THexTyping{"1a", 26, "1a"},
                                         THexTyping{"64", 100, "64"}, THexTyping{"065", 100, "065"},
                                         THexTyping{"7", 7, "7"}));

TEST_F(NodeDlgTest, ASpinClickRewritesTheTypedText) {
  QTest::keyClicks(Dialog.AddrHexEdit, QStringLiteral("F"));  // "0F"
  Dialog.AddrHexEdit->setText(QStringLiteral("FF"));
  ASSERT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("FF"));
  Dialog.AddrUpDown->StepBy(-1);
  EXPECT_EQ(Dialog.AddrUpDown->Position(), 99);
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("63"));
}

struct TBadHex {
  const char* Typed;
  int Position;  // what the valid beginning of the text gave
};

class BadHexTest : public NodeDlgTest, public testing::WithParamInterface<TBadHex> {};

TEST_P(BadHexTest, RaisesTheConversionErrorAndKeepsThePosition) {
  Dialog.LoadNode(Node("n", 1, 12, 0, 0));
  Dialog.AddrHexEdit->selectAll();  // the first key replaces "0C"
  QTest::keyClicks(Dialog.AddrHexEdit, QString::fromLatin1(GetParam().Typed));
  ASSERT_FALSE(Errors.Texts().isEmpty());
  EXPECT_EQ(Errors.Texts().last(),
            QStringLiteral("'$%1' is not a valid integer value").arg(QString::fromLatin1(GetParam().Typed)));
  EXPECT_EQ(Dialog.AddrUpDown->Position(), GetParam().Position);
  // The lock was cleared: a spin change shows in the box again.
  Dialog.AddrUpDown->SetPosition(20);
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("14"));
}

INSTANTIATE_TEST_SUITE_P(Texts, BadHexTest,
                         testing::Values(TBadHex{"G", 12}, TBadHex{"-1", 12}, TBadHex{"1G", 1}, TBadHex{"x", 12}));

// The conversion error is shown where the handler runs: it must not travel
// back through the line edit's own code, which cannot be unwound through.
TEST_F(NodeDlgTest, BadHexFromCodeShowsTheConversionErrorThere) {
  Dialog.AddrUpDown->SetPosition(7);
  EXPECT_NO_THROW(Dialog.AddrHexEdit->setText(QStringLiteral("G1")));
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_EQ(Errors.Texts().at(0), QStringLiteral("'$G1' is not a valid integer value"));
  EXPECT_EQ(Dialog.AddrUpDown->Position(), 7);
  Dialog.AddrUpDown->SetPosition(3);
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("03")) << "the lock was cleared";
}

TEST_F(NodeDlgTest, TypedSpinValuesOutsideTheRangeAreNotTaken) {
  Dialog.LoadNode(Node("n", 1, 0, 45, 100));
  Dialog.AngleEdit->setText(QStringLiteral("400"));
  Dialog.IntervEdit->setText(QStringLiteral("150"));
  TNodeStu stored;
  Dialog.StoreNode(stored);
  EXPECT_EQ(stored.Angle, 45);
  EXPECT_EQ(stored.Interv, 150);
}

class InsDlgTest : public testing::Test {
 protected:
  TErrorRecorder Errors;
  TInsDlg Dialog;
};

TEST_F(InsDlgTest, HasItsControlsCaptionsAndRanges) {
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("Edit inst"));
  EXPECT_EQ(Dialog.size(), QSize(454, 272));
  EXPECT_EQ(Dialog.minimumSize(), Dialog.maximumSize());
  EXPECT_EQ(ItemsOf(Dialog.TypeSel), (QStringList{"Send PWM", "Read Pos", "Read Mea", "Send NM", "Delay", "Set Count",
                                                  "Goto", "End"}));
  EXPECT_EQ(Dialog.TypeSel->currentIndex(), 0);
  EXPECT_EQ(Dialog.TypeLabel->text(), QStringLiteral("Inst:"));
  EXPECT_EQ(Dialog.AddrPanel->size(), QSize(225, 89));
  EXPECT_EQ(Dialog.AddrPanel->pos().y(), 54);
  EXPECT_FALSE(Dialog.AddrPanel->isHidden());
  EXPECT_EQ(Dialog.AddrHexEdit->maxLength(), 3);
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("0"));
  EXPECT_EQ(Dialog.AddrHexEdit->geometry(), Dialog.AddrEdit->geometry());
  EXPECT_TRUE(Dialog.AddrEdit->isHidden());
  EXPECT_TRUE(Dialog.AddrEdit->isReadOnly());
  EXPECT_EQ(ItemsOf(Dialog.ChannelSel), (QStringList{"CAN+485", "CAN", "RS485"}));
  EXPECT_EQ(Dialog.ChannelSel->currentIndex(), 1);
  EXPECT_EQ(Dialog.InsPage->size(), QSize(225, 105));
  EXPECT_EQ(Dialog.InsPage->pos().y(), 144);
  EXPECT_EQ(Dialog.InsPage->currentWidget(), Dialog.SendPWMSheet);
  QStringList pages;
  for (int i = 0; i < Dialog.InsPage->count(); ++i) pages << Dialog.InsPage->widget(i)->objectName();
  EXPECT_EQ(pages, (QStringList{"SendPWMSheet", "NMSheet", "DelaySheet", "CountSheet", "JumpSheet", "ReadSheet",
                                "EndSheet"}));
  ExpectSpins(Dialog, {{"AddrUpDown", 0, 100, 1, 0, "AddrEdit"},
                       {"PWMUpDown", -100, 100, 1, 0, "PWMEdit"},
                       {"DelayUpDown", 0, 60000, 10, 0, "DelayEdit"},
                       {"CountUpDown", 0, 60000, 1, 0, "CountEdit"},
                       {"IndexUpDown", 1, 256, 1, 1, "IndexEdit"}});
  QStringList counters;
  for (int i = 1; i <= 16; ++i) counters << QString::number(i);
  EXPECT_EQ(ItemsOf(Dialog.CounterSel1), counters);
  EXPECT_EQ(ItemsOf(Dialog.CounterSel2), counters);
  EXPECT_EQ(Dialog.CounterSel1->currentIndex(), 0);
  EXPECT_EQ(Dialog.CounterSel2->currentIndex(), 0);
  EXPECT_TRUE(Dialog.NMEdit->isEditable());
  EXPECT_EQ(ItemsOf(Dialog.NMEdit), (QStringList{"01 00", "02 00"}));
  EXPECT_EQ(Dialog.NMEdit->currentText(), QStringLiteral("01 00"));
  EXPECT_EQ(Dialog.MsLabel->text(), QStringLiteral("ms"));
  EXPECT_TRUE(Dialog.MsLabel->styleSheet().contains(QLatin1String("blue")));
  const struct {
    QLabel* Label;
    const char* Text;
  } labels[] = {{Dialog.AddrLabel, "Addr:"},   {Dialog.ChannelLabel, "Bus:"},   {Dialog.PWMLabel, "PWM:"},
                {Dialog.NMLabel, "Cmd:"},      {Dialog.DelayLabel, "Delay:"},   {Dialog.Counter1Label, "Count:"},
                {Dialog.CountLabel, "Value:"}, {Dialog.Counter2Label, "Count:"}, {Dialog.IndexLabel, "To inst:"}};
  for (const auto& l : labels) EXPECT_EQ(l.Label->text(), QString::fromLatin1(l.Text));
  EXPECT_EQ(Dialog.OkBtn->text(), QStringLiteral("&Ok"));
  EXPECT_TRUE(Dialog.OkBtn->isDefault());
  EXPECT_EQ(Dialog.CancelBtn->text(), QStringLiteral("&Cancel"));
  const QStringList order = {"TypeSel", "AddrHexEdit", "ChannelSel", "PWMEdit", "OkBtn", "CancelBtn"};
  EXPECT_EQ(TabChain(Dialog.TypeSel, order), order);
}

TEST_F(InsDlgTest, CommandBoxTakesEightUpperCaseCharacters) {
  QLineEdit* edit = Dialog.NMEdit->lineEdit();
  edit->clear();
  QTest::keyClicks(edit, QStringLiteral("ab 0c ffzz"));
  EXPECT_EQ(Dialog.NMEdit->currentText(), QStringLiteral("AB 0C FF"));
}

TEST_F(InsDlgTest, AddressEntryWorksAsInTheNodeEditor) {
  Dialog.AddrUpDown->SetPosition(10);
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("0A"));
  Dialog.AddrHexEdit->clear();
  QTest::keyClicks(Dialog.AddrHexEdit, QStringLiteral("ff"));
  EXPECT_EQ(Dialog.AddrUpDown->Position(), 100);
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("ff"));
  QTest::keyClicks(Dialog.AddrHexEdit, QStringLiteral("g"));
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_EQ(Errors.Texts().at(0), QStringLiteral("'$ffg' is not a valid integer value"));
  EXPECT_EQ(Dialog.AddrUpDown->Position(), 100);
}

TEST_F(InsDlgTest, OkAndCancelGiveTheirResults) {
  EXPECT_EQ(ExecPressing(Dialog, Dialog.OkBtn), QDialog::Accepted);
  EXPECT_EQ(ExecPressing(Dialog, Dialog.CancelBtn), QDialog::Rejected);
}

TInsStu Word(std::uint32_t bits) { return TInsStu{bits}; }

struct TTypeViewCase {
  const char* Item;
  bool AddrPanel;
  const char* Page;  // nullptr: no page shown
  int PageTop;
};

class TypeViewTest : public InsDlgTest, public testing::WithParamInterface<TTypeViewCase> {};

TEST_P(TypeViewTest, ShowsThePanelAndPageOfTheType) {
  const TTypeViewCase& c = GetParam();
  Dialog.TypeSel->setCurrentIndex(Dialog.TypeSel->findText(QString::fromLatin1(c.Item)));
  EXPECT_EQ(!Dialog.AddrPanel->isHidden(), c.AddrPanel);
  EXPECT_EQ(!Dialog.InsPage->isHidden(), c.Page != nullptr);
  if (c.Page) {
    EXPECT_EQ(Dialog.InsPage->currentWidget()->objectName(), QString::fromLatin1(c.Page));
    EXPECT_EQ(Dialog.InsPage->pos(), QPoint(10, c.PageTop));
  }
}

INSTANTIATE_TEST_SUITE_P(Types, TypeViewTest,
                         testing::Values(TTypeViewCase{"Send PWM", true, "SendPWMSheet", 144},
                                         TTypeViewCase{"Read Pos", true, nullptr, 0},
                                         TTypeViewCase{"Read Mea", true, nullptr, 0},
                                         TTypeViewCase{"Send NM", true, "NMSheet", 144},
                                         TTypeViewCase{"Delay", false, "DelaySheet", 54},
                                         TTypeViewCase{"Set Count", false, "CountSheet", 54},
                                         TTypeViewCase{"Goto", false, "JumpSheet", 54},
                                         TTypeViewCase{"End", false, nullptr, 0}),
                         [](const testing::TestParamInfo<TTypeViewCase>& info) {
                           return QString::fromLatin1(info.param.Item).remove(QLatin1Char(' ')).toStdString();
                         });

TEST_F(InsDlgTest, OpensOnSendPWMWithTheAddressPanel) {
  EXPECT_FALSE(Dialog.AddrPanel->isHidden());
  EXPECT_FALSE(Dialog.InsPage->isHidden());
  EXPECT_EQ(Dialog.InsPage->currentWidget(), Dialog.SendPWMSheet);
  EXPECT_EQ(Dialog.InsPage->pos().y(), 144);
}

struct TRoundTripCase {
  const char* Name;
  std::uint32_t Loaded;
  const char* Item;  // "" for no entry
  std::vector<std::pair<const char*, const char*>> Shown;  // control name, text
  std::uint32_t Stored;  // stored back into the loaded word without touching a control
};

void PrintTo(const TRoundTripCase& c, std::ostream* os) { *os << c.Name; }

class InsRoundTripTest : public InsDlgTest, public testing::WithParamInterface<TRoundTripCase> {};

TEST_P(InsRoundTripTest, ShowsTheWordAndStoresItBack) {
  const TRoundTripCase& c = GetParam();
  Dialog.LoadInst(Word(c.Loaded));
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("Edit inst"));
  EXPECT_EQ(Dialog.TypeSel->currentText(), QString::fromLatin1(c.Item));
  for (const auto& [name, text] : c.Shown) {
    QWidget* control = Dialog.findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(control, nullptr) << name;
    const auto* edit = qobject_cast<QLineEdit*>(control);
    const QString shown = edit ? edit->text() : qobject_cast<QComboBox*>(control)->currentText();
    EXPECT_EQ(shown, QString::fromLatin1(text)) << name;
  }
  TInsStu word = Word(c.Loaded);
  Dialog.StoreInst(word);
  EXPECT_EQ(word.Word, c.Stored) << std::hex << word.Word;
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Words, InsRoundTripTest,
    testing::Values(
        // -375 tenths: the fraction is dropped on loading.
        TRoundTripCase{"SendPWMDropsTheFraction", 0xFE89'0A11u, "Send PWM",
                       {{"PWMEdit", "-37"}, {"AddrHexEdit", "0A"}, {"ChannelSel", "CAN"}}, 0xFE8E'0A11u},
        TRoundTripCase{"SendPWMBeyondTheRange", 0x07D0'0521u, "Send PWM", {{"PWMEdit", "100"}, {"ChannelSel", "RS485"}},
                       0x03E8'0521u},
        TRoundTripCase{"SendPWMAddressAboveTheRange", 0x0000'FF01u, "Send PWM",
                       {{"AddrHexEdit", "64"}, {"ChannelSel", "CAN+485"}}, 0x0000'6401u},
        TRoundTripCase{"ReadPos", 0x1234'7F22u, "Read Pos", {{"AddrHexEdit", "64"}, {"ChannelSel", "RS485"}},
                       0x1234'6422u},
        TRoundTripCase{"ReadMea", 0x0000'0313u, "Read Mea", {{"AddrHexEdit", "03"}}, 0x0000'0313u},
        TRoundTripCase{"SendNM", 0x0001'0317u, "Send NM",
                       {{"NMEdit", "01 00"}, {"AddrHexEdit", "03"}, {"ChannelSel", "CAN"}}, 0x0001'0317u},
        TRoundTripCase{"DelayWithTopBit", 0xEA60'0008u, "Delay", {{"DelayEdit", "60000"}}, 0xEA60'0008u},
        TRoundTripCase{"DelayAboveTheRange", 0xFFFF'0008u, "Delay", {{"DelayEdit", "60000"}}, 0xEA60'0008u},
        TRoundTripCase{"SetCount", 0x0064'00F9u, "Set Count", {{"CounterSel1", "16"}, {"CountEdit", "100"}},
                       0x0064'00F9u},
        TRoundTripCase{"GotoFirstRow", 0x0000'002Eu, "Goto", {{"CounterSel2", "3"}, {"IndexEdit", "1"}},
                       0x0000'002Eu},
        TRoundTripCase{"GotoLastRow", 0xABCD'FF0Eu, "Goto", {{"IndexEdit", "256"}}, 0xABCD'FF0Eu},
        TRoundTripCase{"End", 0x1234'562Fu, "End", {}, 0x1234'562Fu},
        TRoundTripCase{"CodeFour", 0x012C'0514u, "", {}, 0x012C'0514u},
        TRoundTripCase{"CodeZero", 0u, "", {}, 0u},
        // A bus code the list does not name shows no bus and is kept.
        TRoundTripCase{"UnnamedBus", 0x0064'2251u, "Send PWM", {{"ChannelSel", ""}, {"PWMEdit", "10"}}, 0x0064'2251u}),
    [](const testing::TestParamInfo<TRoundTripCase>& info) { return std::string(info.param.Name); });

TEST_F(InsDlgTest, ANameLessCodeHidesPanelAndPages) {
  Dialog.LoadInst(Word(0x0000'0514u));
  EXPECT_EQ(Dialog.TypeSel->currentIndex(), -1);
  EXPECT_TRUE(Dialog.AddrPanel->isHidden());
  EXPECT_TRUE(Dialog.InsPage->isHidden());
}

struct TStoreCase {
  const char* Name;
  std::function<void(TInsDlg&)> Set;
  std::uint32_t Stored;  // from 0xA5A5A5A0, whose bits show which fields were written
};

void PrintTo(const TStoreCase& c, std::ostream* os) { *os << c.Name; }

class InsStoreTest : public InsDlgTest, public testing::WithParamInterface<TStoreCase> {};

TEST_P(InsStoreTest, WritesOnlyTheFieldsOfTheType) {
  GetParam().Set(Dialog);
  TInsStu word = Word(0xA5A5'A5A0u);
  Dialog.StoreInst(word);
  EXPECT_EQ(word.Word, GetParam().Stored) << std::hex << word.Word;
}

void Choose(TInsDlg& d, const char* item) { d.TypeSel->setCurrentIndex(d.TypeSel->findText(QString::fromLatin1(item))); }

void SetAddress(TInsDlg& d, int bus, int addr) {
  d.ChannelSel->setCurrentIndex(bus);
  d.AddrUpDown->SetPosition(addr);
}

void TypeCommand(TInsDlg& d, const char* text) {
  Choose(d, "Send NM");
  d.NMEdit->lineEdit()->clear();
  QTest::keyClicks(d.NMEdit->lineEdit(), QString::fromLatin1(text));
}

INSTANTIATE_TEST_SUITE_P(
    Types, InsStoreTest,
    testing::Values(
        TStoreCase{"SendPWM",
                   [](TInsDlg& d) {
                     Choose(d, "Send PWM");
                     SetAddress(d, 2, 0x3C);
                     d.PWMUpDown->SetPosition(-37);
                   },
                   0xFE8E'3C21u},
        TStoreCase{"ReadPos", [](TInsDlg& d) { Choose(d, "Read Pos"); SetAddress(d, 0, 1); }, 0xA5A5'0102u},
        TStoreCase{"ReadMea", [](TInsDlg& d) { Choose(d, "Read Mea"); SetAddress(d, 1, 100); }, 0xA5A5'6413u},
        TStoreCase{"SendNMTwoNumbers", [](TInsDlg& d) { TypeCommand(d, "1 2"); }, 0x0201'0017u},
        TStoreCase{"SendNMRunTogether", [](TInsDlg& d) { TypeCommand(d, "ABC"); }, 0x0CAB'0017u},
        TStoreCase{"SendNMThirdIgnored", [](TInsDlg& d) { TypeCommand(d, "01 00 FF"); }, 0x0001'0017u},
        TStoreCase{"SendNMOneByte", [](TInsDlg& d) { TypeCommand(d, "7"); }, 0xA507'0017u},
        TStoreCase{"SendNMNoNumber", [](TInsDlg& d) { TypeCommand(d, "1G"); }, 0xA5A5'0017u},
        TStoreCase{"SendNMEmpty", [](TInsDlg& d) { TypeCommand(d, ""); }, 0xA5A5'0017u},
        TStoreCase{"Delay",
                   [](TInsDlg& d) {
                     Choose(d, "Delay");
                     d.DelayUpDown->SetPosition(60000);
                   },
                   0xEA60'A5A8u},
        TStoreCase{"SetCount",
                   [](TInsDlg& d) {
                     Choose(d, "Set Count");
                     d.CounterSel1->setCurrentIndex(15);
                     d.CountUpDown->SetPosition(7);
                   },
                   0x0007'A5F9u},
        TStoreCase{"GotoFirst",
                   [](TInsDlg& d) {
                     Choose(d, "Goto");
                     d.CounterSel2->setCurrentIndex(0);
                     d.IndexUpDown->SetPosition(1);
                   },
                   0xA5A5'000Eu},
        TStoreCase{"GotoLast",
                   [](TInsDlg& d) {
                     Choose(d, "Goto");
                     d.CounterSel2->setCurrentIndex(4);
                     d.IndexUpDown->SetPosition(256);
                   },
                   0xA5A5'FF4Eu},
        TStoreCase{"End", [](TInsDlg& d) { Choose(d, "End"); }, 0xA5A5'A5AFu},
        TStoreCase{"NoType", [](TInsDlg& d) { d.TypeSel->setCurrentIndex(-1); }, 0xA5A5'A5A0u}),
    [](const testing::TestParamInfo<TStoreCase>& info) { return std::string(info.param.Name); });

TEST_F(InsDlgTest, TypedSpinTextIsStored) {
  Choose(Dialog, "Send PWM");
  Dialog.PWMEdit->setText(QStringLiteral("-100"));
  Dialog.AddrHexEdit->setText(QStringLiteral("1f"));
  TInsStu word;
  Dialog.StoreInst(word);
  EXPECT_EQ(word.SignedValue(), -1000);
  EXPECT_EQ(word.Addr_InsIndex(), 0x1Fu);
  Dialog.PWMEdit->setText(QStringLiteral("101"));  // outside the range: the last valid value stands
  Dialog.StoreInst(word);
  EXPECT_EQ(word.SignedValue(), -1000);
}

TEST_F(InsDlgTest, AddAfterEditOfAGotoOpensOnTheSameGoto) {
  Dialog.LoadInst(Word(0x0000'0C3Eu));  // counter 4, target row 13
  Dialog.PrepareAdd();
  EXPECT_EQ(Dialog.windowTitle(), QStringLiteral("Add inst"));
  EXPECT_EQ(Dialog.TypeSel->currentText(), QStringLiteral("Goto"));
  EXPECT_EQ(Dialog.InsPage->currentWidget(), Dialog.JumpSheet);
  EXPECT_FALSE(Dialog.InsPage->isHidden());
  EXPECT_EQ(Dialog.CounterSel2->currentText(), QStringLiteral("4"));
  EXPECT_EQ(Dialog.IndexEdit->text(), QStringLiteral("13"));
  TInsStu fresh;
  Dialog.StoreInst(fresh);
  EXPECT_EQ(fresh.Word, 0x0000'0C3Eu);
}

TEST_F(InsDlgTest, LoadingShowsTheAddressEvenWhenTheSpinHeldIt) {
  Dialog.AddrHexEdit->setText(QStringLiteral("fff"));
  ASSERT_EQ(Dialog.AddrUpDown->Position(), 100);
  Dialog.LoadInst(Word(0x0000'6412u));
  EXPECT_EQ(Dialog.AddrHexEdit->text(), QStringLiteral("64"));
}

TEST_F(InsDlgTest, ShowingTheDialogKeepsThePlacementOfTheType) {
  Dialog.LoadInst(Word(0x0000'0008u));
  QTimer::singleShot(0, &Dialog, [this] {
    EXPECT_FALSE(Dialog.AddrPanel->isVisible());
    EXPECT_TRUE(Dialog.DelayEdit->isVisible());
    EXPECT_EQ(Dialog.InsPage->y(), 54);
    Dialog.reject();
  });
  Dialog.exec();
}

TEST(MakeDlg, HasItsControlsAndResults) {
  TMakeDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Make inst config"));
  EXPECT_EQ(dialog.size(), QSize(448, 211));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  EXPECT_EQ(dialog.OkBtn->text(), QStringLiteral("&Ok"));
  EXPECT_TRUE(dialog.OkBtn->isDefault());
  EXPECT_EQ(dialog.CancelBtn->text(), QStringLiteral("&Cancel"));
  EXPECT_EQ(dialog.MakePosCheck->text(), QStringLiteral("With Read Pos inst"));
  EXPECT_TRUE(dialog.MakePosCheck->isChecked());
  EXPECT_EQ(dialog.WaveLabel->text(), QStringLiteral("Select orbit:"));
  EXPECT_EQ(ItemsOf(dialog.WaveSel), (QStringList{"Trapezoidal wave", "Triangular wave", "Sine wave"}));
  EXPECT_EQ(dialog.WaveSel->currentIndex(), 0);
  EXPECT_FALSE(dialog.WaveSel->isEditable());
  const QStringList order = {"OkBtn", "CancelBtn", "MakePosCheck", "WaveSel"};
  EXPECT_EQ(TabChain(dialog.OkBtn, order), order);
  EXPECT_EQ(ExecPressing(dialog, dialog.OkBtn), QDialog::Accepted);
  EXPECT_EQ(ExecPressing(dialog, dialog.CancelBtn), QDialog::Rejected);
}

}  // namespace
