#pragma once

#include <QMainWindow>

class CaptureLock;
class ClipboardServer;
class OvAdHelper;
class OvCheckUpdate;
class TSnapRectForm;
class Ui_TMainForm;

/// The program's main window: a fixed-size strip with the capture, About and
/// exit buttons and the advertisement panel.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    /// The generated form, for tests that look at the widgets.
    Ui_TMainForm *form() const { return ui; }
    /// The region-capture overlay, a top-level window of its own.
    TSnapRectForm *snapRectOverlay() const { return snapRectForm; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void showAbout();
    void haveUpdate(bool update);
    void fullScreen();
    void fullScreenTimer();
    void snapRect();
    void snapRectTimer();
    /// Ends the program once a copy that it still serves is safe.
    void leave();

private:
    void fixSize();
    /// Tells the user that the desktop could not be read, and why.
    void captureFailed(const QString &reason);

    Ui_TMainForm *ui;
    OvAdHelper *adHelper;       ///< the ad rotation in wdtAd, a child of the window
    OvCheckUpdate *checkUpdate; ///< the start-up update check, a child of the window
    TSnapRectForm *snapRectForm;
    CaptureLock *captureLock;   ///< held while a capture of this window runs, a child of the window
    ClipboardServer *clipboardServer; ///< hands each copy to an owner that outlives the program
};
