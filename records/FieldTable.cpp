#include "FieldTable.h"

#include "platform/Paths.h"

using K = RecordField::Kind;
using C = RecordField::Click;
constexpr auto P = RecordField::Personal;
constexpr auto O = RecordField::Company;
constexpr auto H = RecordField::Home;

// clang-format off
const std::array<RecordField, RecordFieldCount> RecordFields = {{
    {u"Hand", false, P, K::Telephone, u"핸드폰 &H", u"핸드폰:", u"핸드폰", C::Copy, nullptr, true},
    {u"MUrl", false, P, K::Url, u"URL &5", u"URL:", u"URL", C::Open, nullptr, false},
    {u"EMail", false, P, K::EMail, u"&E-Mail", u"E-Mail:", u"E-Mail", C::Copy, nullptr, false},
    {u"BNK1", false, P, K::BankName, u"은행계좌", u"은행계좌:", u"은행계좌 1 은행이름", C::None, nullptr, false},
    {u"BNM1", false, P, K::Holder, u"", u"", u"은행계좌 1 예금주", C::None, nullptr, false},
    {u"BCT1", false, P, K::Account, u"", u"", u"은행계좌 1 계좌", C::CopyAccount, nullptr, false},
    {u"BNK2", false, P, K::BankName, u"", u"", u"은행계좌 2 은행이름", C::None, nullptr, false},
    {u"BNM2", false, P, K::Holder, u"", u"", u"은행계좌 2 예금주", C::None, nullptr, false},
    {u"BCT2", false, P, K::Account, u"", u"", u"은행계좌 2 계좌", C::CopyAccount, nullptr, false},
    {u"Memo", true, P, K::Memo, u"메모 &M", u"메모:", u"메모", C::None, nullptr, false},
    {u"ONme", false, O, K::Text, u"이름 &O", u"이름:", u"회사 이름", C::Copy, nullptr, false},
    {u"ODDD", false, O, K::AreaCode, u"DDD &3", u"DDD:", u"회사 DDD", C::Copy, nullptr, false},
    {u"OPh1", false, O, K::Telephone, u"전화 &1", u"전화:", u"회사 전화 1", C::Copy, u"ODDD", true},
    {u"OPh2", false, O, K::Telephone, u"전화 &2", u"", u"회사 전화 2", C::Copy, u"ODDD", true},
    {u"OFax", false, O, K::Telephone, u"팩스 &F", u"팩스:", u"회사 팩스", C::Copy, u"ODDD", true},
    {u"ODir", false, O, K::Telephone, u"직통전화 &T", u"직통전화:", u"직통전화", C::None, nullptr, false},
    {u"OInt", false, O, K::Extension, u"내선번호 &I", u"내선번호:", u"내선번호", C::None, nullptr, false},
    {u"OPst", false, O, K::Text, u"부서 &D", u"부서:", u"부서", C::None, nullptr, false},
    {u"OCls", false, O, K::Text, u"직위 &G", u"직위:", u"직위", C::None, nullptr, false},
    {u"BNK3", false, O, K::BankName, u"은행계좌", u"은행계좌:", u"회사 은행계좌 1 은행이름", C::None, nullptr, false},
    {u"BNM3", false, O, K::Holder, u"", u"", u"회사 은행계좌 1 예금주", C::None, nullptr, false},
    {u"BCT3", false, O, K::Account, u"", u"", u"회사 은행계좌 1 계좌", C::CopyAccount, nullptr, false},
    {u"BNK4", false, O, K::BankName, u"", u"", u"회사 은행계좌 2 은행이름", C::None, nullptr, false},
    {u"BNM4", false, O, K::Holder, u"", u"", u"회사 은행계좌 2 예금주", C::None, nullptr, false},
    {u"BCT4", false, O, K::Account, u"", u"", u"회사 은행계좌 2 계좌", C::CopyAccount, nullptr, false},
    {u"OZip", false, O, K::PostalCode, u"우편 &Z", u"우편번호:", u"회사 우편번호", C::None, nullptr, false},
    {u"OUrl", false, O, K::Url, u"URL &6", u"URL:", u"회사 URL", C::Open, nullptr, false},
    {u"OAdd", true, O, K::Address, u"주소 &A", u"주소:", u"회사 주소", C::None, nullptr, false},
    {u"HZip", false, H, K::PostalCode, u"우편 &P", u"우편번호:", u"집 우편번호", C::None, nullptr, false},
    {u"HDDD", false, H, K::AreaCode, u"DDD &4", u"DDD:", u"집 DDD", C::Copy, nullptr, false},
    {u"HPh1", false, H, K::Telephone, u"전화 &A", u"전화1:", u"집 전화 1", C::Copy, u"HDDD", true},
    {u"HPh2", false, H, K::Telephone, u"&B", u"2:", u"집 전화 2", C::Copy, u"HDDD", true},
    {u"HAdd", true, H, K::Address, u"주소 &H", u"주소:", u"집 주소", C::None, nullptr, false},
}};
// clang-format on

int FieldIndex(QStringView name)
{
    for (int i = 0; i < RecordFieldCount; ++i)
        if (Paths::SameIgnoringAsciiCase(name, QStringView(RecordFields[size_t(i)].name)))
            return i;
    return -1;
}

const RecordField *FindRecordField(QStringView name)
{
    // Object names and keys the program writes are spelled as in the table.
    for (const RecordField &field : RecordFields)
        if (name == QStringView(field.name))
            return &field;
    return nullptr;
}

int AreaCodeIndex(int field)
{
    const char16_t *code = RecordFields[size_t(field)].areaCode;
    return code ? FieldIndex(code) : -1;
}

QString FieldCaption(const RecordField &field)
{
    QString caption;
    switch (field.kind) {
    case RecordField::Kind::BankName:
    case RecordField::Kind::Holder:
    case RecordField::Kind::Account: {
        const QString kind = field.kind == RecordField::Kind::BankName ? QStringLiteral("은행이름")
                             : field.kind == RecordField::Kind::Holder ? QStringLiteral("예금주")
                                                                       : QStringLiteral("계좌");
        caption = kind + field.Name().back();
        break;
    }
    default:
        caption = QString::fromUtf16(field.viewCaption);
        // The second number of a block shares its row's caption.
        if (caption.isEmpty() || caption == u"2:")
            caption = QStringLiteral("전화2");
        if (caption.endsWith(u':'))
            caption.chop(1);
    }
    switch (field.block) {
    case RecordField::Company: return QStringLiteral("회사 ") + caption;
    case RecordField::Home: return QStringLiteral("집 ") + caption;
    default: return caption;
    }
}
