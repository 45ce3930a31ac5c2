#pragma once

#include "connectiontree.h"
#include "searchcriteria.h"
#include "searchrun.h"

#include <QDialog>
#include <QList>

class ConnectionTreeView;
class QCheckBox;
class QDateEdit;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTimeEdit;

// "Suchoptionen": where to search (connections and whole groups of the
// connection tree) and what to look for. Kept for the whole run: its
// settings stay from one search to the next; the tree is read anew each
// time it is shown.
class TSuchwahlDlg : public QDialog {
    Q_OBJECT

public:
    explicit TSuchwahlDlg(QWidget *parent = nullptr);

    void SetTreeFolder(const QString &folder);

    // What the controls say now.
    SearchCriteria Criteria() const;
    // The selected connections in tree order (after "Suche starten" also
    // every connection below a selected group).
    QList<SearchTarget> SelectedConnections() const;

    QTabWidget *PageControl1 = nullptr;
    ConnectionTreeView *TreeView1 = nullptr;
    QCheckBox *CheckBox7 = nullptr;  // "Nach Bildern suchen"
    QCheckBox *CheckBox8 = nullptr;  // "Nach Musik suchen"
    QCheckBox *CheckBox9 = nullptr;  // "Nach Videos suchen"
    QCheckBox *CheckBox10 = nullptr; // "Nach Dokumenten suchen"
    QGroupBox *GroupBox1 = nullptr;
    QCheckBox *CheckBox1 = nullptr; // "Dateinamen"
    QCheckBox *CheckBox2 = nullptr; // "Datei Inhalt"
    QCheckBox *CheckBox6 = nullptr; // "Groß und Klein beachten"
    QLineEdit *Edit1 = nullptr;     // AND row
    QLineEdit *Edit3 = nullptr;
    QLineEdit *Edit4 = nullptr;
    QLineEdit *Edit5 = nullptr; // OR row
    QLineEdit *Edit6 = nullptr;
    QLineEdit *Edit7 = nullptr;
    QLineEdit *Edit2 = nullptr;     // file name patterns
    QCheckBox *CheckBox3 = nullptr; // "Dateien nicht größer als"
    QDoubleSpinBox *SpinEdit1 = nullptr;
    QCheckBox *CheckBox4 = nullptr; // "Erstellt / geändert nach"
    QDateEdit *DateTimePicker1 = nullptr;
    QTimeEdit *DateTimePicker2 = nullptr;
    QCheckBox *CheckBox5 = nullptr; // "Erstellt / geändert vor"
    QDateEdit *DateTimePicker3 = nullptr;
    QTimeEdit *DateTimePicker4 = nullptr;
    QPushButton *OKBtn = nullptr;     // "Suche starten"
    QPushButton *CancelBtn = nullptr; // "Abbrechen"

public slots:
    // "Suche starten": a malformed pattern is refused with a message;
    // otherwise groups pass their selection on to everything below them,
    // the texts turn to lower case unless case counts, and the dialog closes.
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *BuildWherePage();
    QWidget *BuildSimplePage();
    QWidget *BuildDetailedPage();
    QWidget *BuildTermRows();
    QWidget *BuildLimitRows();
    void LoadTree();
    void SelectRememberedNode();
    void UpdateStartButton();
    void ApplyCategories();
    void SelectEverythingBelowGroups();
    void LowerTexts();
    QList<QLineEdit *> TermEdits() const;

    QString m_treeFolder;
    ConnectionTree m_tree;
};
