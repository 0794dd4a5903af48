#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

/// Answers modal dialogs that a test opens through exec(), which blocks the
/// test until the dialog closes: while it lives it looks for a new active
/// modal widget from inside the dialog's own event loop and hands each one,
/// once, to the action.
class ModalResponder : public QObject
{
public:
    explicit ModalResponder(std::function<void(QWidget *)> action)
        : m_action(std::move(action))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && modal != m_last && modal->isVisible()) {
                m_last = modal;
                ++seen;
                m_action(modal);
            }
        });
        m_timer.start(10);
    }

    int seen = 0; ///< how many modal widgets were answered

private:
    std::function<void(QWidget *)> m_action;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};
