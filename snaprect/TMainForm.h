#pragma once

#include <QMainWindow>

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
    void closeEvent(QCloseEvent *event) override;

private slots:
    void showAbout();
    void fullScreen();
    void fullScreenTimer();
    void snapRect();
    void snapRectTimer();

private:
    void fixSize();

    Ui_TMainForm *ui;
    TSnapRectForm *snapRectForm;
};
