#pragma once

#include "ovkit_export.h"

// QAction complete: menuClick(QAction *) then works in queued connections.
#include <QAction>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QMenu;

/// Keeps a changing run of entries, such as recently opened files, inside a
/// menu that the host owns.
///
/// New entries go to the end of the menu or just above the run's topmost
/// entry, so the run stays below the entries that the host put into the menu
/// before it. setMaxCount() caps the number of entries that add() keeps.
/// menuClick() fires for a triggered entry of the run only, never for the
/// host's own entries. The class adds no separators and never deletes an
/// action: an entry taken out of the run leaves the menu but still exists.
class OVKIT_EXPORT OvDynamicMenu : public QObject
{
    Q_OBJECT

public:
    explicit OvDynamicMenu(QObject *parent = nullptr);
    /// Forgets the run; its entries stay in the host menu.
    ~OvDynamicMenu() override;

    /// Sets the host menu; call once, before anything else. \a menu must not
    /// be null.
    void setMenu(QMenu *menu);

    /// The most entries that add() keeps in the run: negative (the default)
    /// for no limit, 0 to make add() only empty the run.
    void setMaxCount(int maxCount);
    int maxCount() const;

    /// Puts \a action into the run, without applying the cap: at the end of
    /// the menu when \a atEnd is true, otherwise just above the run's topmost
    /// entry (at the end of the menu when the run is empty).
    void insert(QAction *action, bool atEnd);

    /// Takes one entry out of the run: the lowest when \a fromEnd is true,
    /// otherwise the topmost. Does nothing on an empty run.
    void remove(bool fromEnd);

    /// Inserts \a action as insert() does, first removing entries as remove()
    /// does with \a removeFromEnd until the cap leaves room for it. With the
    /// cap 0 the run is emptied and \a action is not inserted; with the cap 1
    /// the run is emptied and \a action goes to the end of the menu.
    void add(QAction *action, bool atEnd, bool removeFromEnd);

    /// Makes an action with the text \a text, parented to the host menu, and
    /// adds it as above.
    void add(const QString &text, bool atEnd, bool removeFromEnd);

    /// Adds each of \a texts, first to last, as above. With \a atEnd false
    /// the run shows them in reverse order.
    void add(const QStringList &texts, bool atEnd, bool removeFromEnd);

    /// Takes every entry out of the run.
    void clear();

    /// Appends the texts of the run's entries, top to bottom, to \a list.
    void menuTextList(QStringList &list);

signals:
    /// Emitted when an entry of the run is triggered.
    void menuClick(QAction *action);

private slots:
    void menuActionClick(QAction *action);

private:
    void forgetDeletedActions();

    int m_maxCount = -1;
    QPointer<QMenu> m_menu;
    // Front: the topmost entry of the run in the menu; back: the lowest.
    QList<QPointer<QAction>> m_actions;
};
