#include "hotword_list_model.h"

#include "settings/settings.h"
#include "text/scalar_order.h"
#include "text/space_separators.h"
#include "text/text_post_processor.h"

#include <algorithm>
#include <numeric>
#include <vector>

HotwordListModel::HotwordListModel(QObject* parent)
    : QAbstractTableModel(parent)
{ }

void HotwordListModel::setEntries(QStringList entries)
{
    sortByUnicodeScalars(entries);
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

QString HotwordListModel::trimmed(const QString& text)
{
    return trimmedSpaceSeparators(text);
}

bool HotwordListModel::isAcceptable(const QString& word)
{
    // The comma separates the words on the wire.
    return !word.isEmpty() && !word.contains(QLatin1Char(','));
}

bool HotwordListModel::add(const QString& text)
{
    const QString word = trimmed(text);
    if (!isAcceptable(word) || m_entries.contains(word))
        return false;
    const auto row = std::upper_bound(m_entries.cbegin(), m_entries.cend(), word, unicodeScalarLess)
        - m_entries.cbegin();
    beginInsertRows(QModelIndex(), int(row), int(row));
    m_entries.insert(row, word);
    endInsertRows();
    store();
    return true;
}

bool HotwordListModel::removeAt(int row)
{
    if (row < 0 || row >= m_entries.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_entries.removeAt(row);
    endRemoveRows();
    store();
    return true;
}

void HotwordListModel::resetToDefaults()
{
    setEntries(TextPostProcessor::defaultHotwords());
    store();
}

int HotwordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int HotwordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant HotwordListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_entries.at(index.row());
    return {};
}

QVariant HotwordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("热词");
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags HotwordListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool HotwordListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_entries.size()
        || value.typeId() != QMetaType::QString)
        return false;
    const QString word = trimmed(value.toString());
    if (!isAcceptable(word))
        return false;

    QStringList edited = m_entries;
    edited[index.row()] = word;
    // Re-sorting moves rows; a layout change keeps the selection on the moved entries.
    std::vector<int> order(size_t(edited.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
        [&edited](int a, int b) { return unicodeScalarLess(edited.at(a), edited.at(b)); });

    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<int> newRowOf(order.size());
    QStringList sorted;
    sorted.reserve(edited.size());
    for (size_t to = 0; to < order.size(); ++to) {
        newRowOf[size_t(order[to])] = int(to);
        sorted.append(edited.at(order[to]));
    }
    m_entries = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(createIndex(newRowOf[size_t(old.row())], old.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();

    const QModelIndex moved = this->index(newRowOf[size_t(index.row())], 0);
    Q_EMIT dataChanged(moved, moved);
    store();
    return true;
}

void HotwordListModel::store() const
{
    Settings::shared().setHotwords(m_entries);
}
