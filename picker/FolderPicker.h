#pragma once

#include <QLocale>
#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The browse-for-folder component: holds the settings of the folder chooser, shows it with
// Execute() and hands back the chosen folder.
class TFolderPickerDialog : public QObject
{
    Q_OBJECT
public:
    enum TFolderFlag {
        OnlyFileSystem = 0x1,
        OnlyDomains = 0x2,
        ShowPath = 0x4,
        OnlyAncestors = 0x8,
        OnlyComputers = 0x1000,
        OnlyPrinters = 0x2000,
    };
    Q_DECLARE_FLAGS(TFolderFlags, TFolderFlag)
    Q_FLAG(TFolderFlags)

    // The shell's special folders; ShellFolderNumber() gives each one's number.
    enum TRootFolder {
        foDesktop,
        foDesktopExpanded, // no root: the whole name space
        foPrograms,
        foControlPanel,
        foPrinters,
        foPersonal,
        foFavorites,
        foStartup,
        foRecent,
        foSendto,
        foRecycleBin,
        foStartMenu,
        foDesktopFolder,
        foMyComputer,
        foNetwork,
        foNetworkNeighborhood,
        foFonts,
        foTemplates,
    };
    Q_ENUM(TRootFolder)

    Q_PROPERTY(QString Folder READ Folder WRITE SetFolder)
    Q_PROPERTY(TFolderFlags Flags READ Flags WRITE SetFlags)
    Q_PROPERTY(TRootFolder RootFolder READ RootFolder WRITE SetRootFolder)
    Q_PROPERTY(bool NewFolderVisible READ NewFolderVisible WRITE SetNewFolderVisible)
    Q_PROPERTY(bool NewFolderEnabled READ NewFolderEnabled WRITE SetNewFolderEnabled)
    Q_PROPERTY(QStringList LabelCaptions READ LabelCaptions WRITE SetLabelCaptions)
    Q_PROPERTY(QStringList NewFolderCaptions READ NewFolderCaptions WRITE SetNewFolderCaptions)
    Q_PROPERTY(QString Version READ Version CONSTANT)

    explicit TFolderPickerDialog(QObject *parent = nullptr);

    QString Folder() const { return m_folder; }
    void SetFolder(const QString &folder) { m_folder = folder; }
    TFolderFlags Flags() const { return m_flags; }
    void SetFlags(TFolderFlags flags) { m_flags = flags; }
    TRootFolder RootFolder() const { return m_rootFolder; }
    void SetRootFolder(TRootFolder root) { m_rootFolder = root; }
    bool NewFolderVisible() const { return m_newFolderVisible; }
    void SetNewFolderVisible(bool visible) { m_newFolderVisible = visible; }
    bool NewFolderEnabled() const { return m_newFolderEnabled; }
    void SetNewFolderEnabled(bool enabled) { m_newFolderEnabled = enabled; }
    QStringList LabelCaptions() const { return m_labelCaptions; }
    void SetLabelCaptions(const QStringList &lines) { m_labelCaptions = lines; }
    QStringList NewFolderCaptions() const { return m_newFolderCaptions; }
    void SetNewFolderCaptions(const QStringList &lines) { m_newFolderCaptions = lines; }
    static QString Version() { return QStringLiteral("3.00.00.00"); }

    // The window the chooser belongs to; when it is gone, the owning widget or the active
    // window takes its place.
    void SetOwner(QWidget *owner) { m_owner = owner; }
    QWidget *OwnerWindow() const;

    // Chooses the title and new-folder captions for the system language. Done once, after
    // the caption lists are set; Execute does it when nobody did.
    void Loaded();
    bool IsLoaded() const { return m_loaded; }
    QString TitleCaption() const { return m_titleCaption; }
    QString NewFolderCaption() const { return m_newFolderCaption; }

    // Shows the chooser; true with Folder set to the chosen folder, false when cancelled.
    bool Execute();

    // The folder last selected in a chooser of this component.
    QString LastSelected() const { return m_lastSelected; }

    static QStringList DefaultLabelCaptions();
    static QStringList DefaultNewFolderCaptions();
    // The caption of a "LLLL=text" list for a language key: the key's line, else the
    // "Default" line, else the first line; empty for an empty list.
    static QString ChooseCaption(const QStringList &lines, const QString &key);
    // The Windows language identifier of a locale (0 when the language is not known here) and
    // the same as four upper-case hexadecimal digits.
    static quint16 LanguageId(const QLocale &locale);
    static QString LanguageKey(const QLocale &locale);

    // The locale the captions follow; the system's unless one is set (tests pick their own).
    static QLocale SystemLocale();
    static void SetSystemLocale(const std::optional<QLocale> &locale);

    // The shell's number of a special folder; -1 for foDesktopExpanded.
    static int ShellFolderNumber(TRootFolder root);
    // The folder a chooser starts from, in the local file system.
    static QString RootPath(TRootFolder root);

    // The path shortened to limit characters for the status line.
    static QString ShortenForStatus(const QString &path, int limit);

signals:
    void OnInitialized(TFolderPickerDialog *sender, QWidget *dialog);
    // path is empty when the item is no file-system folder; item is the file-system model's.
    void OnSelectionChanged(TFolderPickerDialog *sender, QWidget *dialog, const QString &path,
                            const QModelIndex &item);

private:
    QString m_folder;
    TFolderFlags m_flags = ShowPath;
    TRootFolder m_rootFolder = foDesktopExpanded;
    bool m_newFolderVisible = true;
    bool m_newFolderEnabled = true;
    QStringList m_labelCaptions;
    QStringList m_newFolderCaptions;
    QPointer<QWidget> m_owner;
    bool m_loaded = false;
    QString m_titleCaption;
    QString m_newFolderCaption;
    QString m_lastSelected;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TFolderPickerDialog::TFolderFlags)
