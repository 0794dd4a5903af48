#pragma once

#include <QDialog>

class MarkControls;
class QAbstractButton;
class Ui_TSnapRectToolForm;

/// The floating toolbar of a region capture: save the selection, copy it,
/// reselect, save the whole screen, leave. It only raises signals; the overlay that
/// owns it decides what they do and where the toolbar stands.
class TSnapRectToolForm : public QDialog
{
    Q_OBJECT

public:
    explicit TSnapRectToolForm(QWidget *parent);
    ~TSnapRectToolForm() override;

    /// The "save the whole screen" button, which declares no signal of its
    /// own; the overlay connects to its clicked().
    QAbstractButton *fullScreenButton() const;

    Ui_TSnapRectToolForm *form() const { return ui; }
    /// The drawing tools, colours, undo and redo, in a row below the buttons.
    MarkControls *markControls() const { return m_markControls; }
    /// Shows the drawing row or not (it is for a selection), the toolbar
    /// growing or shrinking with it.
    void showMarkControls(bool shown);

signals:
    void onSave();
    void onReSelect();
    void onExit();
    /// The copy button: what Enter and Ctrl+C do.
    void onCopy();
    /// A key pressed or released that the toolbar has no use for, such as an
    /// arrow, Shift, Enter, Ctrl+C or Escape (which may drop a drawing tool),
    /// for the overlay; accepted by whoever handles it.
    void otherKey(QKeyEvent *event);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private slots:
    void saveClick();
    void reSelectClick();
    void exitClick();

private:
    Ui_TSnapRectToolForm *ui;
    MarkControls *m_markControls;
};
