#include "MenuTree.h"

TfrmMenuAndTree::TfrmMenuAndTree(QWidget *parent)
    : QFrame(parent)
{}
