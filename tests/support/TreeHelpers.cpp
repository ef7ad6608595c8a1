#include "TreeHelpers.h"

#include "TestFiles.h"
#include "navigator/zuTree.h"

#include <QDir>
#include <QFileInfo>

namespace TreeHelpers {

void MakeEntries(const QString &root, const QStringList &entries)
{
    for (const QString &e : entries) {
        const QString full = root + u'/' + e;
        if (e.endsWith(u'/')) {
            QDir().mkpath(full);
        } else {
            QDir().mkpath(QFileInfo(full).path());
            TestFiles::write(full, "[data]\r\nHand=" + e.toUtf8() + "\r\n");
        }
    }
}

QTreeWidgetItem *FindNode(const QTreeWidget &tree, QTreeWidgetItem *parent, const QString &text)
{
    const int n = parent ? parent->childCount() : tree.topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        QTreeWidgetItem *item = parent ? parent->child(i) : tree.topLevelItem(i);
        if (item->text(0) == text)
            return item;
    }
    return nullptr;
}

QStringList NodeTexts(const QTreeWidget &tree, QTreeWidgetItem *parent, bool markFolders)
{
    QStringList out;
    const int n = parent ? parent->childCount() : tree.topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        const QTreeWidgetItem *item = parent ? parent->child(i) : tree.topLevelItem(i);
        out << item->text(0)
                   + (markFolders && TzuTree::IsFolder(item) ? QStringLiteral("/") : QString());
    }
    return out;
}

} // namespace TreeHelpers
