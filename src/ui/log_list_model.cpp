#include "ui/log_list_model.h"

#include <QColor>

#include "storage/connection.h"
#include "storage/run_history.h"
#include "storage/storage_error.h"

using namespace Qt::StringLiterals;

bool LogListModel::failed(int row) const {
    return PagedQueryModel::data(index(row, kProcess)).toString().endsWith(u"失敗"_s);
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    const bool marked =
        role == Qt::BackgroundRole || role == Qt::ForegroundRole || role == Qt::ToolTipRole;
    if (!marked || !index.isValid() || !failed(index.row())) {
        return PagedQueryModel::data(index, role);
    }
    switch (role) {
        case Qt::BackgroundRole:
            return QColor(255, 224, 224);
        case Qt::ForegroundRole:
            return QColor(150, 0, 0);
        case Qt::ToolTipRole:
            try {
                Connection connection(values());
                const auto cell = [&](int column) {
                    return PagedQueryModel::data(this->index(index.row(), column)).toString();
                };
                if (const std::optional<QString> reason =
                        RunHistory::failureReason(connection, cell(kRunText), cell(0))) {
                    return cell(index.column()) + u"\n"_s + *reason;
                }
            } catch (const StorageError&) {
                // A tooltip cannot report; the cell's own text is still worth showing.
            }
            break;
    }
    return PagedQueryModel::data(index, role);
}
