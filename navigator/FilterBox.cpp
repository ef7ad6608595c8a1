#include "FilterBox.h"

#include "zuTree.h"

#include <QAbstractListModel>
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QShortcut>
#include <QStackedWidget>

// The hits of the box's query, made into rows only when the list shows them.
class TFilterResults : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void SetResults(TSearchIndex::Results results)
    {
        beginResetModel();
        m_results = std::move(results);
        endResetModel();
    }
    TSearchIndex::Hit HitAt(int row) const { return m_results.at(row); }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_results.size();
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_results.size())
            return {};
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
            return {};
        // Name, the folder it is in, and what matched when that is not the name.
        const TSearchIndex::Hit hit = m_results.at(index.row());
        QString text = hit.displayName;
        if (!hit.folder.isEmpty())
            text += QStringLiteral("  [") + hit.folder + u']';
        if (!hit.nameMatch && hit.value != hit.displayName)
            text += QStringLiteral("  ") + hit.value;
        return text;
    }

private:
    TSearchIndex::Results m_results;
};

TFilterBox::TFilterBox(QWidget *pane, TzuTree *tree)
    : QObject(pane)
    , m_tree(tree)
    , m_results(new TFilterResults(this))
{
    edtFilter = new QLineEdit(pane);
    edtFilter->setObjectName(QStringLiteral("edtFilter"));
    edtFilter->setPlaceholderText(QStringLiteral("이름, 초성, 전화번호"));
    edtFilter->setClearButtonEnabled(true);
    // The clear button is read by its action's text.
    if (auto *clear = edtFilter->findChild<QAction *>(QStringLiteral("_q_qlineeditclearaction")))
        clear->setText(QStringLiteral("지우기"));
    edtFilter->setAccessibleName(QStringLiteral("자료 찾기"));
    edtFilter->setAccessibleDescription(
        QStringLiteral("이름, 초성, 전화번호로 찾습니다. 위아래 화살표: 결과, Enter: 보기, "
                       "Esc: 지우기 (Ctrl+L 또는 트리에서 /)"));
    edtFilter->installEventFilter(this);

    stkTree = new QStackedWidget(pane);
    stkTree->setObjectName(QStringLiteral("stkTree"));
    stkTree->addWidget(tree);
    lstFilter = new QListView(stkTree);
    lstFilter->setObjectName(QStringLiteral("lstFilter"));
    lstFilter->setModel(m_results);
    lstFilter->setUniformItemSizes(true);
    lstFilter->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstFilter->setAccessibleName(QStringLiteral("찾은 자료"));
    stkTree->addWidget(lstFilter);
    tree->installEventFilter(this);

    Index = new TSearchIndex(this);
    connect(edtFilter, &QLineEdit::textChanged, this, &TFilterBox::Update);
    connect(lstFilter, &QListView::activated, this,
            [this](const QModelIndex &index) { Activate(index.row()); });
    auto *focus = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), pane);
    focus->setContext(Qt::WindowShortcut);
    connect(focus, &QShortcut::activated, this, &TFilterBox::FocusBox);

    // A data directory is indexed whenever the tree shows one.
    connect(tree, &TzuTree::rootLoaded, this, [this] { Index->Open(m_tree->RootDir); });
    connect(Index, &TSearchIndex::ready, this, &TFilterBox::Update);
    // What others change on disk shows in the tree and in the results.
    connect(Index, &TSearchIndex::folderChanged, this, [this](const QString &dir) {
        m_tree->SyncFolder(dir);
        Update();
    });
    connect(Index, &TSearchIndex::fileChanged, this, [this](const QString &path) {
        if (path == m_tree->SelectedFile && m_tree->ShowRecord)
            m_tree->ShowRecord(path); // shown again, or cleared when it is gone
    });
    connect(tree, &QTreeWidget::itemSelectionChanged, this,
            [this] { Index->WatchFile(m_tree->SelectedFile); });
    connect(Index, &TSearchIndex::updated, this, &TFilterBox::Update);
    Index->Open(tree->RootDir);
}

void TFilterBox::FocusBox()
{
    edtFilter->setFocus(Qt::ShortcutFocusReason);
    edtFilter->selectAll();
}

bool TFilterBox::OwnsEscape() const
{
    return edtFilter->hasFocus();
}

void TFilterBox::Update()
{
    const QString text = edtFilter->text().trimmed();
    if (text.isEmpty()) {
        stkTree->setCurrentWidget(m_tree);
        m_results->SetResults({});
        return;
    }
    const int row = lstFilter->currentIndex().row();
    m_results->SetResults(Index->Find(text));
    stkTree->setCurrentWidget(lstFilter);
    const int rows = m_results->rowCount();
    if (rows > 0)
        lstFilter->setCurrentIndex(m_results->index(std::clamp(row, 0, rows - 1)));
}

void TFilterBox::Activate(int row)
{
    if (row < 0 || row >= m_results->rowCount())
        return;
    m_tree->LocatePath(m_results->HitAt(row).relPath);
}

bool TFilterBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_tree) {
        // "/" in the tree goes to the box, as in many programs' lists.
        if (key->text() == u"/" && key->modifiers() == Qt::NoModifier) {
            FocusBox();
            return true;
        }
        return false;
    }
    if (watched != edtFilter)
        return false;
    switch (key->key()) {
    case Qt::Key_Escape:
        // Text: cleared; empty: back to the tree.
        if (!edtFilter->text().isEmpty())
            edtFilter->clear();
        else
            m_tree->setFocus(Qt::OtherFocusReason);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int rows = m_results->rowCount();
        if (rows == 0)
            return true;
        const int row = lstFilter->currentIndex().row() + (key->key() == Qt::Key_Up ? -1 : 1);
        lstFilter->setCurrentIndex(m_results->index(std::clamp(row, 0, rows - 1)));
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter: Activate(lstFilter->currentIndex().row()); return true;
    default: return false;
    }
}
