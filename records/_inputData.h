#pragma once

#include "widgets/BlueDialog.h"

#include <QList>
#include <QRect>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class Record;

// The entry form: every field of a record in its box, with "저장 &V" and "취소 &C".
// Never shown by itself; the edit and new-entry dialogs are built on it.
class TfrmInputData : public TfrmBlueDialog
{
    Q_OBJECT
public:
    // Where the form's rows begin: below the caption strip.
    static constexpr int Top = TfrmZuGrayDialog::StripHeight;

    // top: room above the first row for what a derived dialog adds there.
    explicit TfrmInputData(QWidget *parent = nullptr, int top = 0, int width = 492,
                           int height = 663);

    QLineEdit *Box(const QString &field) const;
    QPlainTextEdit *TextBox(const QString &field) const;

    // The record the boxes hold, walking the form's field boxes by their names.
    Record FormRecord() const;
    // Fills every field box from the record; values come whole, so that saving the form
    // unchanged never shortens one.
    void LoadForm(const Record &record);
    // Saves the form's boxes into the record file at path, through the store.
    void SaveFields(const QString &path);

protected:
    // Tab order: first (if any), the fields in order, save, cancel, then last (if any).
    void ChainTabOrder(QWidget *first, QWidget *last);
    void paintEvent(QPaintEvent *event) override;
    QLabel *AddCaption(const QString &text, int x, int y, int width, QWidget *buddy);
    QList<QRect> m_bands;     // gray bands behind headings
    QList<QRect> m_titleBand; // the edit dialog's title band

private:
    QLineEdit *AddBox(const char16_t *field, int x, int y, int width, quint32 colour);
    QPlainTextEdit *AddTextBox(const char16_t *field, int y);
    // A box with its caption from the field table, on the same row.
    void AddLineField(const char16_t *field, int x, int y, int width, quint32 colour, int captionX,
                      int captionWidth);
    void AddTextField(const char16_t *field, int y);
    void AddBand(const QString &text, int y);
};

// The lines a multi-line box shows, soft-wrapped lines counted one by one, without a final
// empty line after the last line break.
QStringList TextBoxLines(const QPlainTextEdit *box);
