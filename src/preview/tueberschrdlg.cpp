#include "tueberschrdlg.h"

#include "imagelibrary.h"
#include "imagesaving.h"
#include "promptwindow.h"
#include "tpmultiimage.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPreviewSize = 225;

} // namespace

TueberschrDlg::TueberschrDlg(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"ueberschrDlg"_s);
    setWindowTitle(u"Datei überschreiben"_s);
    setModal(true);

    Panel1 = PreviewPanel(u"Panel1"_s, PMultiImage1);
    Panel2 = PreviewPanel(u"Panel2"_s, PMultiImage2);
    PMultiImage1->setObjectName(u"PMultiImage1"_s);
    PMultiImage2->setObjectName(u"PMultiImage2"_s);
    PMultiImage1->SetDithering(true);
    Label3 = PromptWindow::Text(u"Label3"_s);
    Label4 = PromptWindow::Text(u"Label4"_s);
    for (QLabel *information : {Label3, Label4}) {
        information->setWordWrap(true);
        information->setMaximumWidth(kPreviewSize);
    }
    connect(PMultiImage1, &TPMultiImage::loaded, this, [this] { ShowInformation(PMultiImage1, Label3); });
    connect(PMultiImage2, &TPMultiImage::loaded, this, [this] { ShowInformation(PMultiImage2, Label4); });
    Edit1 = PromptWindow::ReadOnlyField(u"Edit1"_s);
    Edit2 = PromptWindow::ReadOnlyField(u"Edit2"_s);

    Label2 = PromptWindow::Text(u"Label2"_s);
    Label2->setWordWrap(true);
    Label1 = PromptWindow::Text(u"Label1"_s, u"Neuer Name"_s);
    Edit3 = new QLineEdit;
    Edit3->setObjectName(u"Edit3"_s);
    connect(Edit3, &QLineEdit::textChanged, this, &TueberschrDlg::CheckName);

    OKBtn = AddAnswer(u"OKBtn"_s, u"Überschreiben"_s, Answer::Overwrite);
    CancelBtn = AddAnswer(u"CancelBtn"_s, u"Überspringen"_s, Answer::Skip);
    Button2 = AddAnswer(u"Button2"_s, u"Umbenennen"_s, Answer::Rename);
    Button1 = AddAnswer(u"Button1"_s, u"Abbrechen"_s, Answer::Stop);
    Button2->setDefault(true);

    auto *previews = new QGridLayout;
    previews->addWidget(Panel1, 0, 0);
    previews->addWidget(Panel2, 0, 1);
    previews->addWidget(Label3, 1, 0, Qt::AlignTop);
    previews->addWidget(Label4, 1, 1, Qt::AlignTop);
    previews->addWidget(Edit1, 2, 0);
    previews->addWidget(Edit2, 2, 1);

    auto *newName = new QHBoxLayout;
    newName->addWidget(Label1);
    newName->addWidget(Edit3, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    buttons->addWidget(Button1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(previews);
    layout->addWidget(Label2);
    layout->addLayout(newName);
    layout->addLayout(buttons);
}

QFrame *TueberschrDlg::PreviewPanel(const QString &objectName, TPMultiImage *&preview)
{
    auto *panel = new QFrame;
    panel->setObjectName(objectName);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setFixedSize(kPreviewSize, kPreviewSize);
    preview = new TPMultiImage(panel);
    preview->setFrameStyle(QFrame::NoFrame);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(preview);
    return panel;
}

QPushButton *TueberschrDlg::AddAnswer(const QString &objectName, const QString &caption, Answer answer)
{
    return PromptWindow::AnswerButton(*this, objectName, caption, m_answer, answer);
}

TueberschrDlg::Answer TueberschrDlg::Ask(const QString &existingFile, const QString &sourceFile,
                                         const QString &suggestedName)
{
    const QFileInfo existing(existingFile);
    m_targetFolder = existing.absolutePath() + u'/';
    Edit1->setText(existingFile);
    Edit2->setText(QFileInfo(sourceFile).fileName());
    Label2->setText(u"Die Datei \"%1\" bereits vorhanden. Wie möchten Sie vorgehen?"_s.arg(existingFile));
    PMultiImage1->LoadFile(existingFile);
    PMultiImage2->LoadFile(sourceFile);
    Edit3->setText(suggestedName);
    CheckName();
    m_answer = Answer::Stop;
    PromptWindow::CentreOnScreen(*this);
    Edit3->setFocus();
    exec();
    return m_answer;
}

QString TueberschrDlg::NewName() const
{
    return Edit3->text();
}

void TueberschrDlg::ShowInformation(const TPMultiImage *preview, QLabel *label)
{
    const std::optional<ImageInformation> &information = preview->Information();
    label->setText(information ? ImageInformationText(*information) : QString());
}

void TueberschrDlg::CheckName()
{
    Button2->setEnabled(IsAcceptableImageName(Edit3->text(), m_targetFolder));
}

void TueberschrDlg::reject()
{
    // Esc and the window frame stop the whole save.
    m_answer = Answer::Stop;
    QDialog::reject();
}
