#include "filetypesymbols.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSmall = 16;
constexpr int kLarge = 32;

QIcon StandardIcon(QStyle::StandardPixmap which)
{
    return QApplication::style()->standardIcon(which);
}

QIcon FromTheme(const QString &name, const QIcon &fallback)
{
    return name.isEmpty() ? fallback : QIcon::fromTheme(name, fallback);
}

QMimeType TypeOf(const QString &fileName, bool url)
{
    static const QMimeDatabase mimeTypes;
    return url ? mimeTypes.mimeTypeForName(u"text/html"_s)
               : mimeTypes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
}

// A white square with a black border over the lower left corner, with an
// arrow pointing up and to the right.
QPixmap WithLinkMark(const QIcon &icon, int size, int markSize)
{
    QPixmap pixmap = icon.pixmap(size, size);
    if (pixmap.size() != QSize(size, size))
        pixmap = pixmap.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&pixmap);
    const QRectF mark(0.5, size - markSize + 0.5, markSize - 1, markSize - 1);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(mark);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = markSize / 4.0;
    const QPointF from(mark.left() + inset, mark.bottom() - inset);
    const QPointF to(mark.right() - inset, mark.top() + inset);
    painter.drawLine(from, to);
    QPainterPath head;
    head.moveTo(to);
    head.lineTo(to.x() - markSize / 3.0, to.y());
    head.lineTo(to.x(), to.y() + markSize / 3.0);
    head.closeSubpath();
    painter.fillPath(head, Qt::black);
    return pixmap;
}

QIcon LinkIcon(const QIcon &icon)
{
    QIcon marked;
    marked.addPixmap(WithLinkMark(icon, kSmall, kSmall / 2));
    marked.addPixmap(WithLinkMark(icon, kLarge, kLarge / 3));
    return marked;
}

QString UpperExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? QString() : fileName.mid(dot + 1).toUpper();
}

} // namespace

FileTypeSymbols::FileTypeSymbols()
{
    m_icons = {StandardIcon(QStyle::SP_FileDialogToParent), StandardIcon(QStyle::SP_DirIcon),
               StandardIcon(QStyle::SP_DirLinkIcon)};
}

QIcon FileTypeSymbols::Icon(int symbol) const
{
    return m_icons.value(symbol);
}

int FileTypeSymbols::SymbolFor(const QString &typeName, bool link, bool url)
{
    const bool marked = link && !url;
    const QString key = (url ? u"U:"_s : marked ? u"L:"_s : u"F:"_s) + UpperExtension(typeName);
    const auto known = m_byType.constFind(key);
    if (known != m_byType.constEnd())
        return *known;
    const QIcon plain = ThemeIcon(TypeOf(typeName, url));
    const int symbol = Add(marked ? LinkIcon(plain) : plain);
    m_byType.insert(key, symbol);
    return symbol;
}

QIcon FileTypeSymbols::ThemeIcon(const QMimeType &type)
{
    const auto known = m_byMimeType.constFind(type.name());
    if (known != m_byMimeType.constEnd())
        return *known;
    const QIcon icon =
        FromTheme(type.iconName(), FromTheme(type.genericIconName(), StandardIcon(QStyle::SP_FileIcon)));
    m_byMimeType.insert(type.name(), icon);
    return icon;
}

void FileTypeSymbols::DropAdded()
{
    m_icons.resize(kFirstFileTypeSymbol);
    m_byType.clear();
}

int FileTypeSymbols::Add(const QIcon &icon)
{
    m_icons.append(icon);
    return int(m_icons.size()) - 1;
}
