#pragma once

#include "storage/paged_query_model.h"

// The run log as the list shows it: a row whose file was left alone ("…失敗") stands out in a
// warning colour, and tells why as its tooltip, as the run history kept it.
class LogListModel : public PagedQueryModel {
public:
    using PagedQueryModel::PagedQueryModel;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // The column of the row's 処理内容, and the one of its 処理日時.
    static constexpr int kProcess = 2;
    static constexpr int kRunText = 3;

    bool failed(int row) const;
};
