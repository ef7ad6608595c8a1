#pragma once

#include <QString>
#include <QStringList>

class QTreeWidget;
class QTreeWidgetItem;

// Helpers for tests of the record tree on temporary data directories.
namespace TreeHelpers {

// Creates entries under root: names ending in "/" are folders, the others small record files
// whose Hand value is their own relative path.
void MakeEntries(const QString &root, const QStringList &entries);

// The child of parent (none: the top level) with that text, or nullptr.
QTreeWidgetItem *FindNode(const QTreeWidget &tree, QTreeWidgetItem *parent, const QString &text);

// The texts of parent's children in tree order; folders end in "/" when markFolders is set.
QStringList NodeTexts(const QTreeWidget &tree, QTreeWidgetItem *parent = nullptr,
                      bool markFolders = false);

} // namespace TreeHelpers
