#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <functional>

/// Answers the modal dialogs that code under test opens, one queued answer
/// per dialog, in order, as a user would once each becomes active. A dialog
/// counts as new until answered, and again once hidden and shown anew (a file
/// dialog offered again). One that comes with no answer queued is rejected.
class ModalAnswerer : public QObject
{
public:
    using Answer = std::function<void(QWidget *modal)>;

    ModalAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        m_timer.start(10);
    }
    void then(const Answer &answer) { m_answers.append(answer); }
    int pendingAnswers() const { return int(m_answers.size()); }

    /// What each dialog said (a message box's text, else its title), in order.
    QStringList texts;
    /// Those of them that did not lie wholly on their screen's free area.
    QStringList offScreen;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            m_answered.removeAll(static_cast<QWidget *>(watched));
        return false;
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || m_answered.contains(modal) || !modal->isVisible())
            return;
        m_answered.append(modal);
        modal->installEventFilter(this);
        auto *box = qobject_cast<QMessageBox *>(modal);
        texts.append(box ? box->text() : modal->windowTitle());
        if (!modal->screen()->availableGeometry().contains(modal->frameGeometry()))
            offScreen.append(texts.last());
        const Answer reject = [](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); };
        // Answered from the event loop rather than from this timer's slot: an
        // answer may open the next dialog, whose own event loop must still
        // see this timer fire.
        QMetaObject::invokeMethod(this, [answer = m_answers.isEmpty() ? reject : m_answers.takeFirst(),
                                         target = QPointer<QWidget>(modal)] {
            if (target)
                answer(target);
        }, Qt::QueuedConnection);
    }

    QList<Answer> m_answers;
    QList<QPointer<QWidget>> m_answered;
    QTimer m_timer;
};
