#include "FolderBrowser.h"

#include "FolderPicker.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/Errors.h"
#include "platform/UiFont.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTreeView>

namespace {

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity pathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity pathCase = Qt::CaseSensitive;
#endif

// Paths in the file-system model's form ("/" separators). An empty base holds everything.
bool isSameOrInside(const QString &path, const QString &base)
{
    if (base.isEmpty())
        return true;
    if (path.compare(base, pathCase) == 0)
        return true;
    const QString withSlash = base.endsWith(u'/') ? base : base + u'/';
    return path.startsWith(withSlash, pathCase);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Names in the order people count: runs of digits by their value ("2" before "10"), other
// characters without regard to case.
int naturalCompare(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            qsizetype endA = i, endB = j;
            while (endA < a.size() && isAsciiDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isAsciiDigit(b[endB]))
                ++endB;
            QStringView numberA = a.sliced(i, endA - i);
            QStringView numberB = b.sliced(j, endB - j);
            while (numberA.size() > 1 && numberA.front() == u'0')
                numberA = numberA.sliced(1);
            while (numberB.size() > 1 && numberB.front() == u'0')
                numberB = numberB.sliced(1);
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size() ? -1 : 1;
            if (const int order = numberA.compare(numberB))
                return order < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        const char32_t ca = a[i].toCaseFolded().unicode();
        const char32_t cb = b[j].toCaseFolded().unicode();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

} // namespace

// Shows the root folder and what is inside it, and hides hidden folders except those on the
// way to a folder the chooser has to show.
class TFolderTreeFilter : public QSortFilterProxyModel
{
public:
    TFolderTreeFilter(const QString &root, QObject *parent)
        : QSortFilterProxyModel(parent)
        , m_root(root)
    {}

    void Keep(const QString &path)
    {
        if (path.isEmpty() || m_keep.contains(path))
            return;
        m_keep << path;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const auto *model = static_cast<const QFileSystemModel *>(sourceModel());
        const QModelIndex item = model->index(row, 0, parent);
        const QString path = model->filePath(item);
        if (!isSameOrInside(path, m_root))
            return isSameOrInside(m_root, path); // leads to the root
        if (path.compare(m_root, pathCase) == 0 || !model->fileInfo(item).isHidden())
            return true;
        for (const QString &kept : m_keep)
            if (isSameOrInside(kept, path))
                return true;
        return false;
    }

    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        const QString a = left.data().toString();
        const QString b = right.data().toString();
        const int order = naturalCompare(a, b);
        return order != 0 ? order < 0 : a < b;
    }

private:
    QString m_root;
    QStringList m_keep;
};

TFolderBrowser::TFolderBrowser(TFolderPickerDialog &picker, const QString &startFolder,
                               QWidget *owner)
    : QDialog(owner)
    , m_picker(picker)
    , m_startFolder(startFolder)
    , m_rootPath(TFolderPickerDialog::RootPath(picker.RootFolder()))
{
    setObjectName(QStringLiteral("frmFolderBrowser"));
    setWindowTitle(QStringLiteral("폴더 찾아보기"));
    setModal(true);
    // The shell's dialog it stands for speaks in the system's small Korean font, as the rest
    // of the program does.
    setFont(GulimFont(12));
    const QScreen *screen =
        owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    m_dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    if (m_dpi <= 0)
        m_dpi = 96;

    lblTitle = new QLabel(picker.TitleCaption(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setTextFormat(Qt::PlainText);
    lblTitle->setWordWrap(true);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setVisible(picker.Flags().testFlag(TFolderPickerDialog::ShowPath));

    m_model = new QFileSystemModel(this);
    m_model->setReadOnly(true);
    m_model->setFilter(QDir::Dirs | QDir::Drives | QDir::Hidden | QDir::NoDotAndDotDot);
    m_filter = new TFolderTreeFilter(QDir::fromNativeSeparators(m_rootPath), this);
    m_filter->setSourceModel(m_model);
    m_filter->sort(0);
    m_model->setRootPath(m_rootPath);

    tvFolders = new QTreeView(this);
    tvFolders->setObjectName(QStringLiteral("tvFolders"));
    tvFolders->setModel(m_filter);
    tvFolders->setHeaderHidden(true);
    tvFolders->setUniformRowHeights(true);
    tvFolders->setSelectionMode(QAbstractItemView::SingleSelection);
    tvFolders->setAccessibleName(QStringLiteral("폴더"));
    tvFolders->setAccessibleDescription(
        QStringLiteral("고를 폴더, 오른쪽 화살표로 하위 폴더를 엽니다"));
    for (int column = 1; column < m_model->columnCount(); ++column)
        tvFolders->hideColumn(column);
    // One item on top: the root folder itself.
    const QModelIndex root = m_model->index(m_rootPath);
    if (root.isValid()) {
        tvFolders->setRootIndex(m_filter->mapFromSource(root.parent()));
        tvFolders->expand(m_filter->mapFromSource(root));
    }

    btnNewFolder = new QPushButton(picker.NewFolderCaption(), this);
    btnNewFolder->setObjectName(QStringLiteral("btnNewFolder"));
    btnNewFolder->setAutoDefault(false);
    btnNewFolder->setVisible(picker.NewFolderVisible());
    btnOK = new QPushButton(QStringLiteral("확인"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("취소"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);

    connect(tvFolders->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFolderBrowser::SelectionChanged);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnNewFolder, &QPushButton::clicked, this, &TFolderBrowser::btnNewFolderClick);
    // The folders on the way to the first selection fill in as they are read; keep that
    // selection in view meanwhile, until another one is made.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString &dir) {
        const QModelIndex current = tvFolders->currentIndex();
        if (current.isValid() && current == m_firstSelection
            && isSameOrInside(m_model->filePath(m_filter->mapToSource(current)), dir))
            tvFolders->scrollTo(current, QAbstractItemView::PositionAtCenter);
    });

    const int scaled = m_dpi * 100 / 96;
    resize(340 * scaled / 100, 420 * scaled / 100);
    setMinimumSize(260 * scaled / 100, 280 * scaled / 100);
    // Keep the initial selection hidden folders lead to, if any.
    for (const QString &wanted : {m_startFolder, m_picker.LastSelected()}) {
        const QString path = QDir::cleanPath(QDir::fromNativeSeparators(wanted));
        if (!wanted.isEmpty() && QFileInfo(path).isDir()) {
            m_filter->Keep(path);
            break;
        }
    }
    UpdateButtons();
}

TFolderBrowser::~TFolderBrowser() = default;

QRect TFolderBrowser::NewFolderButtonRect(int dpi, int clientHeight, int captionBarHeight,
                                          int captionWidth)
{
    int left, height, width, distance;
    switch (dpi) {
    case 72:
    case 96: left = 12, height = 23, width = 75, distance = 36; break;
    case 120: left = 15, height = 28, width = 93, distance = 45; break;
    case 144: left = 17, height = 35, width = 112, distance = 56; break;
    case 192: left = 20, height = 41, width = 150, distance = 66; break;
    default:
        left = dpi * 12 / 96, height = dpi * 23 / 96, width = dpi * 75 / 96;
        distance = captionBarHeight + 17;
        break;
    }
    width = std::max(width, captionWidth + 12);
    return QRect(left, clientHeight - distance, width, height);
}

QModelIndex TFolderBrowser::SelectedItem() const
{
    return m_filter->mapToSource(tvFolders->currentIndex());
}

QString TFolderBrowser::SelectedFolder() const
{
    const QModelIndex item = SelectedItem();
    return item.isValid() ? QDir::toNativeSeparators(m_model->filePath(item)) : QString();
}

bool TFolderBrowser::IsFileSystemFolder() const
{
    const QString path = SelectedFolder();
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool TFolderBrowser::SelectFolder(const QString &path)
{
    const QString wanted = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (path.isEmpty() || !QFileInfo(wanted).isDir())
        return false;
    const QModelIndex source = m_model->index(wanted);
    if (!source.isValid()
        || !isSameOrInside(m_model->filePath(source), QDir::fromNativeSeparators(m_rootPath)))
        return false;
    QModelIndex item = m_filter->mapFromSource(source);
    if (!item.isValid()) {
        // A hidden folder asked for by name is shown after all.
        m_filter->Keep(m_model->filePath(source));
        item = m_filter->mapFromSource(source);
        if (!item.isValid())
            return false;
    }
    for (QModelIndex up = item.parent(); up.isValid(); up = up.parent())
        tvFolders->expand(up);
    tvFolders->setCurrentIndex(item);
    tvFolders->scrollTo(item, QAbstractItemView::PositionAtCenter);
    return true;
}

void TFolderBrowser::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || m_prepared)
        return;
    if (const QScreen *screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + area.width() / 2 - width() / 2,
             area.y() + area.height() / 2 - height() / 2);
    }
    Prepare();
}

void TFolderBrowser::Prepare()
{
    m_prepared = true;
    LayoutControls();
    emit m_picker.OnInitialized(&m_picker, this);
    if (!SelectFolder(m_startFolder) && !SelectFolder(m_picker.LastSelected())) {
        const QModelIndex root = m_filter->mapFromSource(m_model->index(m_rootPath));
        if (root.isValid())
            tvFolders->setCurrentIndex(root);
    }
    m_firstSelection = tvFolders->currentIndex();
    UpdateButtons();
}

void TFolderBrowser::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    LayoutControls();
}

void TFolderBrowser::LayoutControls()
{
    const int captionBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const QRect newFolder =
        NewFolderButtonRect(m_dpi, height(), captionBar,
                            btnNewFolder->fontMetrics().horizontalAdvance(btnNewFolder->text()));
    btnNewFolder->setGeometry(newFolder);
    const int margin = newFolder.left();
    const int buttonWidth = NewFolderButtonRect(m_dpi, height(), captionBar, 0).width();
    btnCancel->setGeometry(width() - margin - buttonWidth, newFolder.top(), buttonWidth,
                           newFolder.height());
    btnOK->setGeometry(btnCancel->x() - margin / 2 - buttonWidth, newFolder.top(), buttonWidth,
                       newFolder.height());
    const int inner = width() - 2 * margin;
    int y = margin;
    const int titleHeight = std::max(lblTitle->heightForWidth(inner), fontMetrics().height());
    lblTitle->setGeometry(margin, y, inner, titleHeight);
    y += titleHeight + margin / 2;
    if (!lblStatus->isHidden()) {
        lblStatus->setGeometry(margin, y, inner, fontMetrics().height() + 2);
        y += lblStatus->height() + margin / 2;
    }
    tvFolders->setGeometry(margin, y, inner, std::max(0, newFolder.top() - margin - y));
}

void TFolderBrowser::SelectionChanged()
{
    const QString path = IsFileSystemFolder() ? SelectedFolder() : QString();
    if (m_picker.Flags().testFlag(TFolderPickerDialog::ShowPath))
        lblStatus->setText(TFolderPickerDialog::ShortenForStatus(path, 50));
    UpdateButtons();
    emit m_picker.OnSelectionChanged(&m_picker, this, path, SelectedItem());
}

void TFolderBrowser::UpdateButtons()
{
    const bool folder = IsFileSystemFolder();
    const bool onlyFileSystem = m_picker.Flags().testFlag(TFolderPickerDialog::OnlyFileSystem);
    btnOK->setEnabled(onlyFileSystem ? folder : SelectedItem().isValid());
    btnNewFolder->setEnabled(m_picker.NewFolderEnabled() && folder);
}

void TFolderBrowser::btnNewFolderClick()
{
    // The error has been shown; the chooser closes without a choice.
    if (!VandrelApplication::guarded([this] { MakeNewFolder(); }))
        reject();
}

void TFolderBrowser::MakeNewFolder()
{
    const QString folder = SelectedFolder();
    if (!IsFileSystemFolder())
        return;
    const std::optional<QString> name =
        DialogService::current().input({this, m_picker.NewFolderCaption(), QString(), QString()});
    if (!name || name->isEmpty())
        return;
    const QChar sep = QDir::separator();
    QString path = folder;
    if (!name->startsWith(sep) && !folder.endsWith(sep))
        path += sep;
    path += *name;
    QDir().mkpath(path);
    if (!QFileInfo(path).isDir())
        throw VandrelError(
            QStringLiteral("Unable to create the folder %1").arg(QDir::toNativeSeparators(path)));
    m_createdFolder = QDir::toNativeSeparators(QDir::cleanPath(path));
    done(NewFolderMade);
}
