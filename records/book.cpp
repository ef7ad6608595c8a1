#include "book.h"

TfrmBook::TfrmBook(QWidget *parent)
    : QFrame(parent)
{}
