#pragma once

#include <QDialog>

class ApplicationSettings;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

// "DiaShow Eigenschaften": the thumbnail size (square, 1 to 300 pixels,
// with a sample picture of that size), the grid colour and whether the
// slideshow follows every listing.
class TprewDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaximumSize = 300;
    static constexpr int kDefaultSize = 120;

    explicit TprewDlg(QWidget *parent = nullptr);

    // Shows the settings modally; OK stores DiaXt, DiaY, DiaColor and DiaShow.
    bool Edit(ApplicationSettings &settings);

    int ChosenSize() const;
    int ChosenColor() const;

    QLabel *Label1 = nullptr;
    QComboBox *ColorBox1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QSlider *LMDTrackBar1 = nullptr;
    QFrame *Panel1 = nullptr;
    QLabel *Image1 = nullptr;
    QPushButton *BitBtn1 = nullptr; // "     O K"
    QPushButton *BitBtn2 = nullptr; // "Abbrechen"

private:
    void BuildColorBox();
    void SelectColor(int value);
    void ColorChosen(int index);
    void PaintInColor();
    void ShowSize(int size);

    // What the colour box showed before "Benutzerdefiniert..." was picked.
    int m_shownColor = 0;
};
