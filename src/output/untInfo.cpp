#include "output/untInfo.h"

#include "mainwindow/untDialogs.h"
#include "mainwindow/untIcons.h"
#include "mainwindow/untScale.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

std::function<void(const QUrl&)> TfrmInfo::openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };

namespace {

// The dialog's look: a title with nothing but what the platform insists on, above the program.
constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint;
// The splash's: no title, a plain line drawn by the box itself.
constexpr Qt::WindowFlags kSplashFlags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

QLabel* centred(const QString& text, QWidget* parent, const char* name)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

TfrmInfo::TfrmInfo(QWidget* parent) : QDialog(parent, kDialogFlags)
{
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QStringLiteral("Info"));
    setProperty("helpContext", kHelpContext);

    pnlBorder = new QFrame(this);
    pnlBorder->setObjectName(QStringLiteral("pnlBorder"));
    lblTitle = centred(QStringLiteral("DRAVIK Einzelverbindungsaufschlüsselung"), pnlBorder, "lblTitle");
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    lblVersion = centred(QStringLiteral("Version: X.Y.Z Build 99"), pnlBorder, "lblVersion");
    lblNotice = centred(QStringLiteral("© 2003 DRAVIK Telekommunikation\nAlle Rechte vorbehalten."), pnlBorder, "lblNotice");
    Image1 = centred(QString(), pnlBorder, "Image1");
    Image1->setPixmap(LogoPixmap(DesignSize(126, 60)));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(QStringLiteral("Clicken Sie, um die DRAVIK im Internet zu besuchen !"));
    Image1->installEventFilter(this);
    lblAddress = centred(WebAddress().toString(), pnlBorder, "lblAddress");
    Bevel1 = new QFrame(pnlBorder);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    btnOk = new QPushButton(QStringLiteral("Ok"), pnlBorder);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setAutoDefault(true);
    btnOk->setMinimumSize(DesignSize(75, 25));
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });

    auto* inner = new QVBoxLayout(pnlBorder);
    inner->setContentsMargins(DesignPx(16), DesignPx(12), DesignPx(16), DesignPx(12));
    inner->setSpacing(DesignPx(6));
    inner->addWidget(lblTitle);
    inner->addWidget(lblVersion);
    inner->addWidget(lblNotice);
    inner->addSpacing(DesignPx(4));
    inner->addWidget(Image1);
    inner->addWidget(lblAddress);
    inner->addWidget(Bevel1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addStretch(1);
    inner->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(pnlBorder);
    // The splash has no button, the box is laid out for it: both keep one size.
    outer->setSizeConstraint(QLayout::SetFixedSize);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(kSplashMilliseconds);
    Timer->setSingleShot(false);
    connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });

    lblVersion->setText(CompiledVersionText());
}

QString TfrmInfo::VersionText(quint16 major, quint16 minor, quint16 release, quint16 build)
{
    return QStringLiteral("Version") + QStringLiteral(": ") + QString::number(major) + QLatin1Char('.')
        + QString::number(minor) + QLatin1Char('.') + QString::number(release) + QStringLiteral(" Build ")
        + QString::number(build);
}

QString TfrmInfo::CompiledVersionText()
{
    return VersionText(RUBO_VERSION_MAJOR, RUBO_VERSION_MINOR, RUBO_VERSION_RELEASE, RUBO_VERSION_BUILD);
}

QUrl TfrmInfo::WebAddress()
{
    return QUrl(QStringLiteral("http://www.dravik.at"));
}

void TfrmInfo::showSplash()
{
    if (isVisible() && !m_splash)
        return;   // the modal box is open: no splash over it
    m_splash = true;
    setWindowFlags(kSplashFlags);
    pnlBorder->setFrameStyle(QFrame::Box | QFrame::Plain);
    pnlBorder->setLineWidth(1);
    btnOk->setVisible(false);
    setModal(false);
    centreOnScreen();
    show();
    // The program goes on loading while the splash shows: it must be painted now, not later.
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    Timer->start();
}

void TfrmInfo::setDialogLook()
{
    m_splash = false;
    Timer->stop();
    // Changing the flags of a shown window hides it; the box is shown anew when wanted.
    if (windowFlags() != kDialogFlags)
        setWindowFlags(kDialogFlags);
    pnlBorder->setFrameStyle(QFrame::NoFrame);
    btnOk->setVisible(true);
}

void TfrmInfo::endSplash()
{
    if (!m_splash)
        return;
    setDialogLook();
    hide();
}

void TfrmInfo::TimerTimer()
{
    setDialogLook();
    close();
}

int TfrmInfo::execInfo()
{
    endSplash();
    setDialogLook();
    centreOnScreen();
    btnOk->setFocus();
    return ExecDialog(*this);
}

void TfrmInfo::Image1Click()
{
    if (openUrl)
        openUrl(WebAddress());
}

void TfrmInfo::btnOkClick()
{
    close();
}

void TfrmInfo::done(int result)
{
    // Escape on the splash, or a close from outside, ends it as the timer would.
    if (m_splash)
        setDialogLook();
    QDialog::done(result);
}

bool TfrmInfo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && Image1->rect().contains(mouse->position().toPoint())) {
            Image1Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmInfo::centreOnScreen()
{
    adjustSize();
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

int ShowInfoBox(QWidget* mainWindow)
{
    if (!mainWindow) {
        TfrmInfo box;
        return box.execInfo();
    }
    TfrmInfo* info = mainWindow->findChild<TfrmInfo*>(QString(), Qt::FindDirectChildrenOnly);
    if (!info)
        info = new TfrmInfo(mainWindow);
    return info->execInfo();
}
