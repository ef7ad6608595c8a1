#pragma once

#include "SearchIndex.h"

#include <QObject>

#include <functional>

class QLineEdit;
class QListView;
class QStackedWidget;
class TFilterResults;
class TzuTree;

// Search as you type: the box above the tree and the list that stands in for the tree while
// the box holds text. Queries go to the index of the data directory, which also tells the tree
// what others changed on disk.
class TFilterBox : public QObject
{
    Q_OBJECT
public:
    // The tree goes into stkTree.
    TFilterBox(QWidget *pane, TzuTree *tree);

    QLineEdit *edtFilter = nullptr;
    QListView *lstFilter = nullptr;
    QStackedWidget *stkTree = nullptr;
    TSearchIndex *Index = nullptr;

    // Puts the focus in the box, its text selected.
    void FocusBox();
    // True while the box has the focus: Esc is then the box's.
    bool OwnsEscape() const;
    // Selects the record of a row of the list in the tree, as a hit of the search does.
    void Activate(int row);
    // Shows the results for the box's text; the tree when it is empty.
    void Update();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TzuTree *m_tree;
    TFilterResults *m_results;
};
