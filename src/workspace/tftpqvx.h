#pragma once

#include <QMainWindow>

// The main window.
class TFTPqvx : public QMainWindow {
    Q_OBJECT

public:
    explicit TFTPqvx(QWidget *parent = nullptr);
};
