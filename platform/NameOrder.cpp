#include "NameOrder.h"

#include <algorithm>
#include <vector>

NameOrder::NameOrder()
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_plain = m_collator.locale().language() == QLocale::C;
}

int NameOrder::Key::compare(const Key &other) const
{
    if (m_collated && other.m_collated)
        return m_collated->compare(*other.m_collated);
    return m_folded.compare(other.m_folded);
}

NameOrder::Key NameOrder::key(const QString &name) const
{
    Key k;
    if (m_plain)
        k.m_folded = name.toCaseFolded();
    else
        k.m_collated = m_collator.sortKey(name);
    return k;
}

int NameOrder::compare(const QString &a, const QString &b) const
{
    if (m_plain)
        return a.toCaseFolded().compare(b.toCaseFolded());
    return m_collator.compare(a, b);
}

void NameOrder::sort(QStringList &names) const
{
    if (names.size() < 2)
        return;
    std::vector<std::pair<Key, qsizetype>> keys;
    keys.reserve(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        keys.emplace_back(key(names.at(i)), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto &k : keys)
        sorted.append(names.at(k.second));
    names = std::move(sorted);
}
