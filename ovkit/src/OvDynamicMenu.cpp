#include "OvDynamicMenu.h"

#include <QAction>
#include <QMenu>
#include <QStringList>

OvDynamicMenu::OvDynamicMenu(QObject *parent)
    : QObject(parent)
{
}

OvDynamicMenu::~OvDynamicMenu() = default;

void OvDynamicMenu::setMenu(QMenu *menu)
{
    Q_ASSERT(menu != NULL);
    if (!menu)
        return;
    m_menu = menu;
    connect(m_menu, &QMenu::triggered, this, &OvDynamicMenu::menuActionClick, Qt::UniqueConnection);
}

void OvDynamicMenu::setMaxCount(int maxCount)
{
    m_maxCount = maxCount;
}

int OvDynamicMenu::maxCount() const
{
    return m_maxCount;
}

void OvDynamicMenu::insert(QAction *action, bool atEnd)
{
    Q_ASSERT(m_menu != NULL);
    if (!m_menu || !action)
        return;
    forgetDeletedActions();
    if (atEnd || m_actions.isEmpty()) {
        m_menu->addAction(action);
        m_actions.append(action);
    } else {
        m_menu->insertAction(m_actions.first(), action);
        m_actions.prepend(action);
    }
}

void OvDynamicMenu::remove(bool fromEnd)
{
    forgetDeletedActions();
    if (m_actions.isEmpty())
        return;
    QAction *action = fromEnd ? m_actions.takeLast() : m_actions.takeFirst();
    if (m_menu)
        m_menu->removeAction(action);
}

void OvDynamicMenu::add(QAction *action, bool atEnd, bool removeFromEnd)
{
    forgetDeletedActions();
    if (m_maxCount < 0) {
        insert(action, atEnd);
    } else if (m_maxCount == 0) {
        clear();
    } else if (m_maxCount == 1) {
        // A single entry is replaced, and the new one always goes to the end.
        while (!m_actions.isEmpty())
            remove(removeFromEnd);
        insert(action, true);
    } else {
        while (m_actions.size() >= m_maxCount)
            remove(removeFromEnd);
        insert(action, atEnd);
    }
}

void OvDynamicMenu::add(const QString &text, bool atEnd, bool removeFromEnd)
{
    Q_ASSERT(m_menu != NULL);
    if (!m_menu)
        return;
    auto *action = new QAction(m_menu);
    action->setText(text);
    add(action, atEnd, removeFromEnd);
}

void OvDynamicMenu::add(const QStringList &texts, bool atEnd, bool removeFromEnd)
{
    for (const QString &text : texts)
        add(text, atEnd, removeFromEnd);
}

void OvDynamicMenu::clear()
{
    forgetDeletedActions();
    if (m_menu) {
        for (QAction *action : std::as_const(m_actions))
            m_menu->removeAction(action);
    }
    m_actions.clear();
}

void OvDynamicMenu::menuTextList(QStringList &list)
{
    forgetDeletedActions();
    for (QAction *action : std::as_const(m_actions))
        list.append(action->text());
}

void OvDynamicMenu::menuActionClick(QAction *action)
{
    // Over a copy: a receiver of menuClick may well change the run.
    const QList<QPointer<QAction>> actions = m_actions;
    for (QAction *entry : actions) {
        if (entry && entry == action) {
            emit menuClick(action);
            return;
        }
    }
}

void OvDynamicMenu::forgetDeletedActions()
{
    // An action that the host deleted has left the menu already.
    m_actions.removeIf([](const QPointer<QAction> &action) { return action.isNull(); });
}
