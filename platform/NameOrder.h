#pragma once

#include <QCollator>
#include <QString>
#include <QStringList>

#include <optional>

// The one order of names the user sees, in the tree and in every list of records: the user's
// language, letter case aside. The C locale has no collation of its own: there names are
// compared case folded.
class NameOrder
{
public:
    NameOrder();

    // A name made ready for many comparisons; far cheaper than collating every comparison.
    class Key
    {
    public:
        int compare(const Key &other) const;
        bool operator<(const Key &other) const { return compare(other) < 0; }

    private:
        friend class NameOrder;
        std::optional<QCollatorSortKey> m_collated;
        QString m_folded;
    };

    Key key(const QString &name) const;
    int compare(const QString &a, const QString &b) const;
    // Stable: names that compare equal keep their order.
    void sort(QStringList &names) const;

private:
    QCollator m_collator;
    bool m_plain = false;
};
