#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

/// Answers the modal dialogs that code under test opens, one queued answer
/// per dialog, in order, as a user would once each becomes active. A dialog
/// counts as new until answered, and again once hidden and shown anew (a file
/// dialog offered again). One that comes with no answer queued is rejected.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(QWidget *modal)>;

    ModalAnswerer();

    void then(const Answer &answer) { m_answers.append(answer); }
    /// Chooses the file type at \a filterIndex (-1: leaves it), types
    /// \a fileName into a file dialog and accepts it.
    void saveAs(const QString &fileName, int filterIndex = -1);
    void cancel();

    /// What each dialog said (a message box's text, else its title), in
    /// order; "unexpected: ..." for those that came with no answer queued.
    QStringList texts;
    int pendingAnswers() const { return int(m_answers.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void poll();

    QList<Answer> m_answers;
    QList<QPointer<QWidget>> m_answered;
    QTimer m_timer;
};
