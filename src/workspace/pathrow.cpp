#include "pathrow.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

using namespace Qt::StringLiterals;

PathRow::PathRow(QWidget *parent)
    : QWidget(parent)
    , LMDShellComboBox1(new QComboBox(this))
    , Edit1(new QLineEdit(this))
{
    setObjectName(u"PathRow"_s);
    LMDShellComboBox1->setObjectName(u"LMDShellComboBox1"_s);
    LMDShellComboBox1->setEditable(true);
    Edit1->setObjectName(u"Edit1"_s);
    Edit1->setReadOnly(true);
    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::returnPressed, this, [this] {
        if (!Edit1->isReadOnly())
            emit remotePathEntered(Edit1->text());
    });
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void PathRow::SetRemoteFolder(const QString &folder)
{
    m_remoteFolder = folder;
    Edit1->setText(folder);
}

void PathRow::DiscardRemoteTyping()
{
    if (Edit1->text() != m_remoteFolder)
        Edit1->setText(m_remoteFolder);
}

void PathRow::SetRemotePathEditable(bool editable)
{
    if (!editable)
        DiscardRemoteTyping();
    Edit1->setReadOnly(!editable);
}

void PathRow::FollowPanes(QWidget *localPane, QWidget *remotePane)
{
    m_localPane = localPane;
    m_remotePane = remotePane;
    localPane->installEventFilter(this);
    remotePane->installEventFilter(this);
    Align();
}

QRect PathRow::SpanOf(QWidget *pane) const
{
    const int left = pane->mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint(0, 0)).x();
    return QRect(left, 0, pane->width(), height());
}

void PathRow::Align()
{
    if (!m_localPane || !m_remotePane)
        return;
    const QRect local = SpanOf(m_localPane);
    const QRect remote = SpanOf(m_remotePane);
    LMDShellComboBox1->setGeometry(local.x(), (height() - LMDShellComboBox1->sizeHint().height()) / 2,
                                   local.width(), LMDShellComboBox1->sizeHint().height());
    Edit1->setGeometry(remote.x(), (height() - Edit1->sizeHint().height()) / 2, remote.width(),
                       Edit1->sizeHint().height());
}

QSize PathRow::sizeHint() const
{
    const int height = qMax(LMDShellComboBox1->sizeHint().height(), Edit1->sizeHint().height()) + 4;
    return QSize(LMDShellComboBox1->sizeHint().width() + Edit1->sizeHint().width(), height);
}

QSize PathRow::minimumSizeHint() const
{
    return QSize(0, sizeHint().height());
}

void PathRow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Align();
}

bool PathRow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Edit1) {
        // Transfers read the remote folder from the field: a path typed and
        // left unconfirmed must not stay there.
        const bool escape =
            event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
        if (escape || event->type() == QEvent::FocusOut)
            DiscardRemoteTyping();
        return escape || QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
        Align();
    return QWidget::eventFilter(watched, event);
}
