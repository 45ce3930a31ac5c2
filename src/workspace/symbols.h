#pragma once

#include <QIcon>
#include <QPixmap>

// Small symbols drawn in code, so that the window looks the same with or
// without an icon theme.
namespace Symbols {

// The own symbol of a remote pane column: 0 name, 1 size, 2 date, 3 info.
QIcon ColumnSymbol(int column);
// The sort column's symbol: -1 ascending, 1 descending.
QIcon SortSymbol(int direction);

// The rename button's pencil, 16 by 16 pixels.
QIcon Rename();

// Status bar symbols, 16 by 16 pixels.
QPixmap Connected();
QPixmap Lock();
QPixmap Search();

} // namespace Symbols
