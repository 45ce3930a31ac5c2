#pragma once

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLineEdit;

// The row above the panes: the local path box spans the local pane, the
// read-only remote path field the remote pane. Both follow the split bar
// and the window size.
class PathRow : public QWidget {
    Q_OBJECT

public:
    explicit PathRow(QWidget *parent = nullptr);

    // The two panes the fields line up with, followed from then on.
    void FollowPanes(QWidget *localPane, QWidget *remotePane);
    void Align();

    QComboBox *LMDShellComboBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QRect SpanOf(QWidget *pane) const;

    QPointer<QWidget> m_localPane;
    QPointer<QWidget> m_remotePane;
};
