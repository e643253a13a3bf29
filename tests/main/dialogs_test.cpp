#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

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
  TNodeStu node;
  node.ID = 77;
  node.NodeName = QString::fromLatin1(name);
  node.Channel = channel;
  node.Addr = addr;
  node.Angle = angle;
  node.Interv = interv;
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
