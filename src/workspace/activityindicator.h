#pragma once

#include <QLabel>

// The 32 by 16 pixel picture with two lamps at the left of the tool bar:
// 0 off, 1 connected and idle, 2 receiving, 3 sending; other codes grey.
class ActivityIndicator : public QLabel {
    Q_OBJECT

public:
    explicit ActivityIndicator(QWidget *parent = nullptr);

    void SetActivity(int code);
    int Activity() const { return m_code; }

    static QPixmap Picture(int code);

private:
    int m_code = 0;
};
