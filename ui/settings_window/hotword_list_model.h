#pragma once

#include <QAbstractTableModel>
#include <QStringList>

// The hotword editor's working copy of the list: one column, always sorted by Unicode
// scalar value. Every change is written to Settings::shared() at once.
class HotwordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HotwordListModel(QObject* parent = nullptr);

    const QStringList& entries() const { return m_entries; }
    // Shows a list read from the store; writes nothing back.
    void setEntries(QStringList entries);

    // Each returns false, changing nothing, when it refuses: an empty text, a comma, a
    // word already listed, a row out of range.
    bool add(const QString& text);
    bool removeAt(int row);
    void resetToDefaults();

    // Without tabs and Unicode space separators (incl. U+3000) at either end.
    static QString trimmed(const QString& text);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An in-place edit: refused when empty or with a comma, but a duplicate is allowed.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    static bool isAcceptable(const QString& word);
    void store() const;

    QStringList m_entries;
};
