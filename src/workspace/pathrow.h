#pragma once

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLineEdit;

// The row above the panes: the local path box spans the local pane, the
// remote path field the remote pane. Both follow the split bar and the
// window size. The remote path field shows the current server folder; while
// the session is free a path may be typed into it and confirmed with Enter.
class PathRow : public QWidget {
    Q_OBJECT

public:
    explicit PathRow(QWidget *parent = nullptr);

    // The two panes the fields line up with, followed from then on.
    void FollowPanes(QWidget *localPane, QWidget *remotePane);
    void Align();

    // The folder the remote path field shows; what is typed into the field
    // counts only once confirmed.
    void SetRemoteFolder(const QString &folder);
    const QString &RemoteFolder() const { return m_remoteFolder; }
    // Shows the remote folder again, dropping a path typed but not confirmed.
    void DiscardRemoteTyping();
    // Typing into the remote path field; switching it off drops what was typed.
    void SetRemotePathEditable(bool editable);

    QComboBox *LMDShellComboBox1 = nullptr;
    QLineEdit *Edit1 = nullptr;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Enter in the remote path field, with the text typed there.
    void remotePathEntered(const QString &path);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QRect SpanOf(QWidget *pane) const;

    QPointer<QWidget> m_localPane;
    QPointer<QWidget> m_remotePane;
    QString m_remoteFolder;
};
