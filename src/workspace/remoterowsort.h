#pragma once

#include "remoterow.h"

#include <vector>

// The columns of the remote list, and the order its rows are shown in.
enum RemoteColumn { kNameColumn = 0, kSizeColumn = 1, kDateColumn = 2, kInfoColumn = 3 };

// The row numbers of rows in display order: ".." first, then the rows with
// the folder symbol, then the others; within each group by the column,
// ascending for direction -1 and descending for 1. Names compare by the
// locale without regard to case, sizes as numbers, dates as instants and the
// info texts without regard to case. Equal rows keep their order.
std::vector<int> RemoteRowOrder(const std::vector<RemoteRow> &rows, int column, int direction);
