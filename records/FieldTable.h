#pragma once

#include <QString>
#include <QStringView>

#include <array>

// What each field of a record is, in one table: its key in the record file (also the name of
// its box in the forms and of its label in the view), its captions, its kind, and what the
// view, the index and the vCard code do with it.
struct RecordField
{
    enum Block { Personal, Company, Home };
    enum class Kind {
        Text,
        Telephone, // a number: searched as digits, exported as TEL
        Extension, // an extension: exported as TEL, too short to search as digits
        AreaCode,  // the area code of its block's numbers
        PostalCode,
        Url,
        EMail,
        BankName,
        Holder,
        Account,
        Memo,
        Address,
    };
    // What a click on the field's value in the view does.
    enum class Click { None, Copy, Open, CopyAccount };

    const char16_t *name;
    bool multiLine;
    Block block;
    Kind kind;
    const char16_t *inputCaption; // with "&" before the accelerator key
    const char16_t *viewCaption;  // empty where the label shares a row caption
    const char16_t *spokenName;   // the field's full name, as a screen reader reads it
    Click click;
    const char16_t *areaCode; // the field whose value goes in front ("area code-number")
    bool dialled;             // handed to the dialling program with Ctrl held

    QString Name() const { return QString::fromUtf16(name); }
    QString SpokenName() const { return QString::fromUtf16(spokenName); }
    bool IsTelephone() const { return kind == Kind::Telephone; }
    bool ExportedAsTel() const { return kind == Kind::Telephone || kind == Kind::Extension; }
};

inline constexpr int RecordFieldCount = 33;
extern const std::array<RecordField, RecordFieldCount> RecordFields;

// The index of the field of that name in RecordFields (ASCII letter case aside, as keys are
// found in a record file), or -1.
int FieldIndex(QStringView name);
// The field of that name, or nullptr.
const RecordField *FindRecordField(QStringView name);
// The index of the area-code field a number is composed with, or -1.
int AreaCodeIndex(int field);

// The column header of a field: its caption in the view, with its block in front for the
// company and home blocks ("회사 전화", "집 주소") and a number for the bank accounts.
QString FieldCaption(const RecordField &field);

// Tags of the controls in the forms and the view: 0 a field's box or value label, 99 anything
// else (captions, the title, the name box) that loading and saving leave alone.
inline constexpr int FieldTag = 0;
inline constexpr int NotAFieldTag = 99;
