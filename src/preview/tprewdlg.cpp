#include "tprewdlg.h"

#include "applicationsettings.h"
#include "gridcolor.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kCustomColor = u"Benutzerdefiniert..."_s;

// A small landscape that shows how big a thumbnail will be.
QPixmap SamplePicture()
{
    QPixmap picture(TprewDlg::kMaximumSize, TprewDlg::kMaximumSize);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, 200);
    sky.setColorAt(0, QColor(70, 130, 200));
    sky.setColorAt(1, QColor(190, 220, 250));
    painter.fillRect(0, 0, 300, 200, sky);
    painter.fillRect(0, 200, 300, 100, QColor(60, 140, 60));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(250, 210, 60));
    painter.drawEllipse(QPoint(220, 70), 35, 35);
    painter.setBrush(QColor(110, 110, 120));
    painter.drawPolygon(QPolygon({QPoint(20, 200), QPoint(110, 90), QPoint(200, 200)}));
    return picture;
}

} // namespace

TprewDlg::TprewDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"prewDlg"_s);
    setWindowTitle(u"DiaShow Eigenschaften"_s);
    setModal(true);

    Label1 = new QLabel(u"Hintergrungfarbe"_s);
    Label1->setObjectName(u"Label1"_s);
    ColorBox1 = new QComboBox;
    ColorBox1->setObjectName(u"ColorBox1"_s);
    BuildColorBox();
    connect(ColorBox1, &QComboBox::activated, this, &TprewDlg::ColorChosen);

    CheckBox1 = new QCheckBox(u"Diashow nach Verbindungsaufbau aktivieren"_s);
    CheckBox1->setObjectName(u"CheckBox1"_s);

    GroupBox1 = new QGroupBox(u" Miniatürgröße "_s);
    GroupBox1->setObjectName(u"GroupBox1"_s);
    GroupBox1->setAutoFillBackground(true);
    LMDTrackBar1 = new QSlider(Qt::Horizontal);
    LMDTrackBar1->setObjectName(u"LMDTrackBar1"_s);
    LMDTrackBar1->setRange(1, kMaximumSize);
    LMDTrackBar1->setAutoFillBackground(true);
    connect(LMDTrackBar1, &QSlider::valueChanged, this, &TprewDlg::ShowSize);
    Panel1 = new QFrame;
    Panel1->setObjectName(u"Panel1"_s);
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(u"Image1"_s);
    Image1->setPixmap(SamplePicture());
    Image1->setScaledContents(true);
    auto *sizeLayout = new QVBoxLayout(GroupBox1);
    sizeLayout->addWidget(LMDTrackBar1);
    sizeLayout->addWidget(Panel1, 0, Qt::AlignCenter);

    BitBtn1 = new QPushButton(u"     O K"_s);
    BitBtn1->setObjectName(u"BitBtn1"_s);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(u"Abbrechen"_s);
    BitBtn2->setObjectName(u"BitBtn2"_s);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto *colorRow = new QHBoxLayout;
    colorRow->addWidget(Label1);
    colorRow->addWidget(ColorBox1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(colorRow);
    layout->addWidget(CheckBox1);
    layout->addWidget(GroupBox1);
    layout->addLayout(buttons);
}

void TprewDlg::BuildColorBox()
{
    for (const NamedGridColor &choice : GridColorChoices()) {
        QPixmap swatch(16, 16);
        swatch.fill(GridColorFromSetting(choice.value, palette()));
        ColorBox1->addItem(QIcon(swatch), choice.name, choice.value);
    }
    ColorBox1->addItem(kCustomColor);
}

bool TprewDlg::Edit(ApplicationSettings &settings)
{
    SelectColor(settings.DiaColor);
    const bool sizeInRange = settings.DiaXt >= 1 && settings.DiaXt <= kMaximumSize;
    const int size = sizeInRange ? settings.DiaXt : kDefaultSize;
    LMDTrackBar1->setValue(size);
    ShowSize(size);
    CheckBox1->setChecked(settings.DiaShow);
    if (exec() != QDialog::Accepted)
        return false;
    settings.DiaXt = settings.DiaY = ChosenSize();
    settings.DiaColor = ChosenColor();
    settings.DiaShow = CheckBox1->isChecked();
    return true;
}

int TprewDlg::ChosenSize() const
{
    return std::max(LMDTrackBar1->value(), 1);
}

int TprewDlg::ChosenColor() const
{
    return ColorBox1->currentData().toInt();
}

// A colour that is not offered is added before the custom entry.
void TprewDlg::SelectColor(int value)
{
    int index = ColorBox1->findData(value);
    if (index < 0) {
        QPixmap swatch(16, 16);
        swatch.fill(GridColorFromSetting(value, palette()));
        index = ColorBox1->count() - 1;
        ColorBox1->insertItem(index, QIcon(swatch), QColor(GridColorFromSetting(value, palette())).name(),
                              value);
    }
    ColorBox1->setCurrentIndex(index);
    PaintInColor();
}

void TprewDlg::ColorChosen(int index)
{
    if (ColorBox1->itemText(index) != kCustomColor || ColorBox1->itemData(index).isValid()) {
        PaintInColor();
        return;
    }
    const QColor chosen = QColorDialog::getColor(GridColorFromSetting(m_shownColor, palette()), this);
    SelectColor(chosen.isValid() ? SettingFromColor(chosen) : m_shownColor);
}

void TprewDlg::PaintInColor()
{
    m_shownColor = ChosenColor();
    const QColor color = GridColorFromSetting(m_shownColor, palette());
    for (QWidget *widget : {static_cast<QWidget *>(GroupBox1), static_cast<QWidget *>(LMDTrackBar1)}) {
        QPalette painted = widget->palette();
        painted.setColor(QPalette::Window, color);
        widget->setPalette(painted);
    }
}

void TprewDlg::ShowSize(int size)
{
    Panel1->setFixedSize(size, size);
    Image1->setGeometry(0, 0, size, size);
    GroupBox1->setTitle(u" Miniatürgröße %1 x %1"_s.arg(size));
}
