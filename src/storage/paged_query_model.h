#pragma once

#include <QAbstractTableModel>
#include <QCache>
#include <QStringList>

#include "storage/module_values.h"

// The rows of one ordered query for a list, read a page at a time as they are shown. Every
// read runs its statement to the end on a connection of its own, so nothing holds a read open
// between two reads: the list never shows an old snapshot of the database, and never keeps a
// checkpoint from emptying the write-ahead log.
class PagedQueryModel : public QAbstractTableModel {
public:
    explicit PagedQueryModel(const ModuleValues& values, QObject* parent = nullptr);

    // Shows the query's rows as the database holds them now, reading the row count and the
    // column names at once and the rows as they are shown. `where` is the select's condition on
    // the table, if it has one. Throws StorageError.
    void setQuery(const QString& table, const QString& select, const QString& where = {});

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

protected:
    const ModuleValues& values() const { return m_values; }

private:
    const QList<QStringList>* page(int number) const;

    ModuleValues m_values;
    QString m_select;
    int m_rows = 0;
    QStringList m_columns;
    mutable QCache<int, QList<QStringList>> m_pages;  // a bounded number of pages read so far
};
