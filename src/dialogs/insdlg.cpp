#include "insdlg.h"

#include <QLineEdit>
#include <array>
#include <cstdint>

#include "errordisplay.h"
#include "hexaddress.h"
#include "instext.h"
#include "pixelfont.h"
#include "uppercasevalidator.h"

TInsDlg* InsDlg = nullptr;
bool TInsDlg::FAddrLock = false;

namespace {

constexpr int CommandTextLength = 8;
constexpr int CommandByteCount = 2;  // bytes 2 and 3 of the word
constexpr int FirstCommandByte = 2;
constexpr int PWMTenths = 10;
// The top of the value page: just below the address panel, or where the
// panel would be when it is hidden.
constexpr int PageTopBelowAddrPanel = 144;
constexpr int PageTopWithoutAddrPanel = 54;

// One entry of the type list, in the order of its items.
struct TTypeItemStu {
  TInsType Code;
  bool Addressed;               // the instruction goes to one node: the address panel is shown
  QWidget* Ui::TInsDlg::*Page;  // the page of its values, or none
};

const std::array<TTypeItemStu, 8> TypeItems = {{
    {InsSendPWM, true, &Ui::TInsDlg::SendPWMSheet},
    {InsReadPos, true, nullptr},
    {InsReadMea, true, nullptr},
    {InsSendNM, true, &Ui::TInsDlg::NMSheet},
    {InsDelay, false, &Ui::TInsDlg::DelaySheet},
    {InsSetCount, false, &Ui::TInsDlg::CountSheet},
    {InsGoto, false, &Ui::TInsDlg::JumpSheet},
    {InsEnd, false, nullptr},
}};

const TTypeItemStu& EndItem() { return TypeItems.back(); }

int TypeItemOf(unsigned code) {
  for (std::size_t i = 0; i < TypeItems.size(); ++i) {
    if (TypeItems[i].Code == code) return static_cast<int>(i);
  }
  return -1;
}

const TTypeItemStu* TypeItemAt(int index) {
  return index >= 0 && index < static_cast<int>(TypeItems.size()) ? &TypeItems[index] : nullptr;
}

}  // namespace

TInsDlg::TInsDlg(QWidget* owner) : QDialog(owner) {
  SetFormFont(this);
  setupUi(this);
  setFixedSize(size());
  AddrUpDown->SetAssociate(AddrEdit);
  PWMUpDown->SetAssociate(PWMEdit);
  DelayUpDown->SetAssociate(DelayEdit);
  CountUpDown->SetAssociate(CountEdit);
  IndexUpDown->SetAssociate(IndexEdit);
  NMEdit->lineEdit()->setMaxLength(CommandTextLength);
  NMEdit->setValidator(new TUpperCaseValidator(NMEdit));
  connect(TypeSel, &QComboBox::currentIndexChanged, this, &TInsDlg::TypeSelChange);
  connect(AddrHexEdit, &QLineEdit::textChanged, this, ShowingErrors(this, &TInsDlg::AddrHexEditChange));
  connect(AddrEdit, &QLineEdit::textChanged, this, ShowingErrors(this, &TInsDlg::AddrEditChange));
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  TypeSelChange();
}

void TInsDlg::PrepareAdd() { setWindowTitle(QStringLiteral("Add inst")); }

void TInsDlg::LoadInst(const TInsStu& word) {
  setWindowTitle(QStringLiteral("Edit inst"));
  TypeSel->setCurrentIndex(TypeItemOf(word.InsType()));
  TypeSelChange();
  switch (word.InsType()) {
    case InsSendPWM:
      LoadAddress(word);
      PWMUpDown->SetPosition(word.SignedValue() / PWMTenths);  // the fraction is dropped: -375 shows -37
      break;
    case InsReadPos:
    case InsReadMea:
      LoadAddress(word);
      break;
    case InsSendNM: {
      LoadAddress(word);
      const std::uint8_t bytes[CommandByteCount] = {word.Byte(FirstCommandByte), word.Byte(FirstCommandByte + 1)};
      NMEdit->setEditText(BytesToHex(bytes, CommandByteCount));
      break;
    }
    case InsDelay:
      DelayUpDown->SetPosition(word.PWM_Delay_Count());
      break;
    case InsSetCount:
      CounterSel1->setCurrentIndex(static_cast<int>(word.Channel_CountIndex()));
      CountUpDown->SetPosition(word.PWM_Delay_Count());
      break;
    case InsGoto:
      CounterSel2->setCurrentIndex(static_cast<int>(word.Channel_CountIndex()));
      IndexUpDown->SetPosition(static_cast<int>(word.Addr_InsIndex()) + 1);
      break;
    default:
      break;
  }
}

void TInsDlg::StoreInst(TInsStu& word) const {
  const TTypeItemStu* item = TypeItemAt(TypeSel->currentIndex());
  if (!item) return;
  word.SetInsType(item->Code);
  switch (item->Code) {
    case InsSendPWM:
      StoreAddress(word);
      word.SetPWM_Delay_Count(static_cast<std::uint16_t>(PWMUpDown->Position() * PWMTenths));
      break;
    case InsReadPos:
    case InsReadMea:
      StoreAddress(word);
      break;
    case InsSendNM:
      StoreAddress(word);
      StoreCommand(word);
      break;
    case InsDelay:
      word.SetPWM_Delay_Count(static_cast<std::uint16_t>(DelayUpDown->Position()));
      break;
    case InsSetCount:
      word.SetChannel_CountIndex(static_cast<unsigned>(CounterSel1->currentIndex()));
      word.SetPWM_Delay_Count(static_cast<std::uint16_t>(CountUpDown->Position()));
      break;
    case InsGoto:
      word.SetChannel_CountIndex(static_cast<unsigned>(CounterSel2->currentIndex()));
      word.SetAddr_InsIndex(static_cast<unsigned>(IndexUpDown->Position() - 1));
      break;
    case InsEnd:
      break;
  }
}

void TInsDlg::TypeSelChange() {
  const TTypeItemStu* selected = TypeItemAt(TypeSel->currentIndex());
  const TTypeItemStu& item = selected ? *selected : EndItem();
  AddrPanel->setVisible(item.Addressed);
  if (item.Page) InsPage->setCurrentWidget(this->*item.Page);
  InsPage->setVisible(item.Page != nullptr);
  InsPage->move(InsPage->x(), item.Addressed ? PageTopBelowAddrPanel : PageTopWithoutAddrPanel);
}

// The bus list shows no entry for a bus code it does not name.
void TInsDlg::LoadAddress(const TInsStu& word) {
  AddrUpDown->SetPosition(static_cast<int>(word.Addr_InsIndex()));
  // The box shows the loaded address even when the spin held it already.
  AddrEditChange();
  ChannelSel->setCurrentIndex(static_cast<int>(word.Channel_CountIndex()));
}

// With no bus entry selected (a loaded bus code the list does not name) the
// word keeps its bus code.
void TInsDlg::StoreAddress(TInsStu& word) const {
  if (ChannelSel->currentIndex() >= 0) word.SetChannel_CountIndex(static_cast<unsigned>(ChannelSel->currentIndex()));
  word.SetAddr_InsIndex(static_cast<unsigned>(AddrUpDown->Position()));
}

// Only the bytes the text gives are written: nothing for text that starts
// with no hexadecimal number, byte 2 alone for one number.
void TInsDlg::StoreCommand(TInsStu& word) const {
  std::uint8_t bytes[CommandByteCount] = {};
  const int count = HexToBytes(NMEdit->currentText(), bytes, CommandByteCount);
  for (int i = 0; i < count; ++i) word.SetByte(FirstCommandByte + i, bytes[i]);
}

void TInsDlg::AddrHexEditChange() { TakeHexAddress(*AddrHexEdit, *AddrUpDown, FAddrLock); }

void TInsDlg::AddrEditChange() { ShowHexAddress(*AddrHexEdit, *AddrUpDown, FAddrLock); }
