#include "viewmenu.h"

#include <QActionGroup>

using namespace Qt::StringLiterals;

ViewMenu::ViewMenu(const QString &title, const QString &listCaption, const QString &objectNamePrefix,
                   QWidget *parent)
    : QMenu(title, parent)
    , m_group(new QActionGroup(this))
{
    setObjectName(objectNamePrefix + u"Menu"_s);
    const QStringList captions{u"Große Symbole"_s, u"Kleine Symbole"_s, listCaption, u"Details"_s};
    for (int view = 0; view < captions.size(); ++view) {
        QAction *action = addAction(captions[view]);
        action->setObjectName(objectNamePrefix + u"View"_s + QString::number(view));
        action->setCheckable(true);
        m_group->addAction(action);
        m_views.append(action);
        connect(action, &QAction::triggered, this, [this, view] { emit viewChosen(view); });
    }
    addSeparator();
    m_autoArrange = addAction(u"Automatisch anordnen"_s);
    m_autoArrange->setObjectName(objectNamePrefix + u"AutoArrange"_s);
    m_autoArrange->setCheckable(true);
    connect(m_autoArrange, &QAction::triggered, this, &ViewMenu::autoArrangeChosen);
}

void ViewMenu::SetView(int view)
{
    if (QAction *action = m_views.value(view))
        action->setChecked(true);
}

void ViewMenu::SetAutoArrange(bool on)
{
    m_autoArrange->setChecked(on);
}

int ViewMenu::View() const
{
    return int(m_views.indexOf(m_group->checkedAction()));
}

bool ViewMenu::AutoArrange() const
{
    return m_autoArrange->isChecked();
}
