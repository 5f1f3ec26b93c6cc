#include "storage/paged_query_model.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "storage/connection.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"

namespace {

constexpr int kPageRows = 256;

QSqlQuery runToEnd(Connection& connection, const QString& sql) {
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        throw StorageError::fromSql(query.lastError());
    }
    return query;
}

}  // namespace

PagedQueryModel::PagedQueryModel(const ModuleValues& values, QObject* parent)
    : QAbstractTableModel(parent), m_values(values), m_pages(64) {}

void PagedQueryModel::setQuery(const QString& table, const QString& select, const QString& where) {
    int rows = 0;
    QStringList columns;
    {
        Connection connection(m_values);
        QSqlQuery count = runToEnd(connection, SqlText::countAll(table) + where);
        if (count.next()) {
            rows = count.value(0).toInt();
        }
        count.finish();
        QSqlQuery names = runToEnd(connection, SqlText::page(select, 0, 0));
        const QSqlRecord record = names.record();
        for (int i = 0; i < record.count(); ++i) {
            columns << record.fieldName(i);
        }
    }
    beginResetModel();
    m_select = select;
    m_rows = rows;
    m_columns = columns;
    m_pages.clear();
    endResetModel();
}

const QList<QStringList>* PagedQueryModel::page(int number) const {
    if (const QList<QStringList>* cached = m_pages.object(number)) {
        return cached;
    }
    auto rows = std::make_unique<QList<QStringList>>();
    try {
        Connection connection(m_values);
        QSqlQuery query =
            runToEnd(connection, SqlText::page(m_select, kPageRows, qint64{number} * kPageRows));
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < m_columns.size(); ++i) {
                row << query.value(i).toString();
            }
            rows->append(row);
        }
    } catch (const StorageError&) {
        // Painting cannot report; the rows stay blank, and the next refresh, which reads the
        // same table, says what is wrong.
        return nullptr;
    }
    m_pages.insert(number, rows.release());
    return m_pages.object(number);
}

int PagedQueryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int PagedQueryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant PagedQueryModel::data(const QModelIndex& index, int role) const {
    // A cell's tooltip is its whole text, however narrow the column.
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid()) {
        return {};
    }
    const QList<QStringList>* rows = page(index.row() / kPageRows);
    const int row = index.row() % kPageRows;
    if (rows == nullptr || row >= rows->size()) {
        return {};  // gone since the count was read
    }
    return (*rows)[row].value(index.column());
}

QVariant PagedQueryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal) {
        return m_columns.value(section);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}
