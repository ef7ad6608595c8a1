#pragma once

#include <QDialog>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QRect>
#include <QString>

class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;
class TFolderPickerDialog;
class TFolderTreeFilter;

// The folder chooser the folder picker shows: a tree of the file system's folders with the
// picker's captions and options.
class TFolderBrowser : public QDialog
{
    Q_OBJECT
public:
    // Result code when a new folder was made; the picker then shows the chooser again.
    static constexpr int NewFolderMade = 2;

    TFolderBrowser(TFolderPickerDialog &picker, const QString &startFolder,
                   QWidget *owner = nullptr);
    ~TFolderBrowser() override;

    QLabel *lblTitle = nullptr;
    QLabel *lblStatus = nullptr;
    QTreeView *tvFolders = nullptr;
    QPushButton *btnNewFolder = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    TFolderPickerDialog &Picker() const { return m_picker; }
    QString StartFolder() const { return m_startFolder; }
    // The folder at the top of the tree; empty for every drive on Windows.
    QString RootPath() const { return m_rootPath; }
    QFileSystemModel *Model() const { return m_model; }

    // The selected folder with native separators; empty when the selection is none.
    QString SelectedFolder() const;
    // The file-system model's index of the selection.
    QModelIndex SelectedItem() const;
    // Selects a folder and scrolls it into view; false when the tree does not hold it.
    bool SelectFolder(const QString &path);
    // The folder made with the new-folder button, empty when none was made.
    QString CreatedFolder() const { return m_createdFolder; }

    // Where the new-folder button goes for a screen resolution, a client height, the height of
    // a caption bar and the width of the button's caption.
    static QRect NewFolderButtonRect(int dpi, int clientHeight, int captionBarHeight,
                                     int captionWidth);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void Prepare();
    void LayoutControls();
    void SelectionChanged();
    void UpdateButtons();
    void btnNewFolderClick();
    void MakeNewFolder();
    bool IsFileSystemFolder() const;

    TFolderPickerDialog &m_picker;
    QString m_startFolder;
    QString m_rootPath;
    QString m_createdFolder;
    QFileSystemModel *m_model = nullptr;
    TFolderTreeFilter *m_filter = nullptr;
    QPersistentModelIndex m_firstSelection;
    int m_dpi = 96;
    bool m_prepared = false;
};
