#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

// "Info": the about box. Shown once as a splash at start, closing itself after four seconds,
// and modally from "&Info..." of the main window. One instance lives as long as the program.
class TfrmInfo : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpContext = 400;
    static constexpr int kSplashMilliseconds = 4000;

    explicit TfrmInfo(QWidget* parent = nullptr);

    // "Version: 2.10.3 Build 417" of 2.10.3.417.
    static QString VersionText(quint16 major, quint16 minor, quint16 release, quint16 build);
    // The text of the version the program was built as.
    static QString CompiledVersionText();
    // The maker's web address the picture opens.
    static QUrl WebAddress();
    // Opens an address in the browser; tests put a recorder in its place. The result is ignored:
    // a missing browser is the desktop's business, not the about box's.
    static std::function<void(const QUrl&)> openUrl;

    // The splash: plain border, no button, on top, painted at once; closes when Timer fires.
    void showSplash();
    bool isSplashShowing() const { return m_splash; }
    // "&Info...": ends a splash still showing, then shows the box modally.
    int execInfo();

    void TimerTimer();
    void Image1Click();
    void btnOkClick();

    QFrame* pnlBorder = nullptr;
    QLabel *lblTitle = nullptr, *lblVersion = nullptr, *lblNotice = nullptr, *Image1 = nullptr, *lblAddress = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* btnOk = nullptr;
    QTimer* Timer = nullptr;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void endSplash();
    void setDialogLook();
    void centreOnScreen();

    bool m_splash = false;
};

// The about box of `mainWindow` (its child TfrmInfo, made when it has none), shown modally.
int ShowInfoBox(QWidget* mainWindow);
