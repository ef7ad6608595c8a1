#pragma once

#include "widgets/zuGradiBtn.h"

#include <QFrame>
#include <QList>

#include <functional>

class QKeyEvent;
class QLabel;
class QPlainTextEdit;

// The record view: the right-hand pane that shows one record, read-only. Clicks on values copy
// them, open web addresses, or with Ctrl held hand a telephone number to the dialling program.
class TfrmBook : public QFrame
{
    Q_OBJECT
public:
    explicit TfrmBook(QWidget *parent = nullptr);

    QLabel *labName = nullptr;
    QPlainTextEdit *Memo = nullptr;
    QPlainTextEdit *OAdd = nullptr;
    QPlainTextEdit *HAdd = nullptr;
    QWidget *pntBlack = nullptr;
    TzuGradiColors *zuGradiColors2 = nullptr;
    TzuGradiButton *zuGradiButton1 = nullptr;

    // The value label of a single-line field.
    QLabel *ValueLabel(const QString &field) const;

    void ClearTitle();
    void ClearRecord();
    // Shows the record file (or folder record) at path; clears the view when there is none.
    void ShowRecord(const QString &path);
    // Edits the record file at path (the tree's selected one; empty when nothing is selected)
    // and shows it again after a save.
    void ModifyRecord(const QString &path);

    // The dialling program beside the executable.
    QString SiblingProgramPath() const;
    // Seams the main window wires: the program's folder (the running program's when empty)
    // and how a web address is opened (the desktop's when empty).
    QString ProgramDir;
    std::function<bool(const QString &)> OpenDocument;

    // Design width of the title label once the main window has placed the view.
    static constexpr int TitleWidth = 345;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // What a click on a value does; with Ctrl among the modifiers a number may be dialled.
    void ValueClick(QLabel *label, Qt::KeyboardModifiers modifiers);
    // Keys on a focused value: Enter and Space as a click, Ctrl+C copies. True when handled.
    bool ValueKeyPress(QLabel *label, const QKeyEvent *key);
    void HandClick(QLabel *label, Qt::KeyboardModifiers modifiers);
    void MUrlClick(QLabel *label);
    void labBankClick(QLabel *label);
    // The text a click copies: a number with its area code where it has one.
    QString CopiedText(const QLabel *label) const;
    void pntBlackPaint(QPainter &painter);

    bool HandOverMode(Qt::KeyboardModifiers modifiers) const;
    void HandOver(const QString &number);
    QString Text(const char16_t *field) const;

    QLabel *AddCaption(const QString &text, int right, int y, int height = 12);
    QLabel *AddValue(const char16_t *field, int x, int y, int width, int height = 12);
    QPlainTextEdit *AddTextBox(const char16_t *field, int y);
    QLabel *AddHeading(const QString &text, int y);

    QList<int> m_rowLines;   // y of the 1-pixel row separators
    QList<int> m_blockLines; // y of the 2-pixel block tops
    QList<QRect> m_boxFrames;
};

// Fills the view's value labels and text boxes from the record file at path.
void LoadRecordIntoView(TfrmBook &view, const QString &path);
