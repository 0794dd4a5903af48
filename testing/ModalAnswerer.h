#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

/// Answers the modal dialogs that code under test opens, one queued answer
/// per dialog, in order, the way a user would: it waits for each new modal
/// widget to become active, then acts on it.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(QWidget *modal)>;

    ModalAnswerer();
    ~ModalAnswerer() override;

    /// Queues an answer for the next modal dialog.
    void then(const Answer &answer);
    /// Queues: choose the file type at \a filterIndex (-1: leave it), type
    /// \a fileName into the name field of a file dialog and accept it.
    void saveAs(const QString &fileName, int filterIndex = -1);
    /// Queues: close the next dialog with Cancel (reject).
    void cancel();

    /// Window titles of the dialogs answered so far, and their texts (the
    /// label of a message box; the directory of a file dialog).
    QStringList titles;
    QStringList texts;
    /// Dialogs that came when no answer was queued; they were rejected.
    QStringList unexpected;
    int pendingAnswers() const { return int(m_answers.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void poll();

    QList<Answer> m_answers;
    QList<QPointer<QWidget>> m_answered;
    QTimer m_timer;
};
