#include "output/untInfo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// Records the addresses the box opens instead of starting a browser.
struct UrlRecorder
{
    QList<QUrl> opened;
    std::function<void(const QUrl&)> previous = TfrmInfo::openUrl;
    UrlRecorder()
    {
        TfrmInfo::openUrl = [this](const QUrl& url) { opened << url; };
    }
    ~UrlRecorder() { TfrmInfo::openUrl = previous; }
};

// Runs `inside` once the modal box is up; a guard closes the box should `inside` fail to, so a
// broken box fails the test instead of hanging it. The guard ends with the run.
class WhileModal
{
public:
    WhileModal(TfrmInfo& info, const std::function<void(QWidget*)>& inside) : m_guard(&info)
    {
        QTimer::singleShot(0, &m_guard, [inside] { inside(QApplication::activeModalWidget()); });
        m_guard.setSingleShot(true);
        QObject::connect(&m_guard, &QTimer::timeout, &info, &QDialog::reject);
        m_guard.start(5000);
    }

private:
    QTimer m_guard;
};

bool isFramed(const TfrmInfo& info)
{
    return !(info.windowFlags() & Qt::FramelessWindowHint);
}

} // namespace

class TestInfo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void versionAndContents()
    {
        QCOMPARE(TfrmInfo::VersionText(2, 10, 3, 417), QStringLiteral("Version: 2.10.3 Build 417"));
        QCOMPARE(TfrmInfo::VersionText(0, 0, 0, 0), QStringLiteral("Version: 0.0.0 Build 0"));
        // Sixteen bits each, never shown signed.
        QCOMPARE(TfrmInfo::VersionText(65535, 65535, 65535, 65535), QStringLiteral("Version: 65535.65535.65535 Build 65535"));
        QCOMPARE(TfrmInfo::CompiledVersionText(), QStringLiteral("Version: 1.2.0 Build 2"));

        QWidget main;
        TfrmInfo info(&main);
        QCOMPARE(info.windowTitle(), QStringLiteral("Info"));
        QCOMPARE(info.property("helpContext").toInt(), 400);
        QCOMPARE(info.lblVersion->text(), QStringLiteral("Version: 1.2.0 Build 2"));
        QCOMPARE(info.lblTitle->text(), QStringLiteral("DRAVIK Einzelverbindungsaufschlüsselung"));
        QVERIFY(info.lblTitle->font().bold());
        QCOMPARE(info.Image1->toolTip(), QStringLiteral("Clicken Sie, um die DRAVIK im Internet zu besuchen !"));
        QCOMPARE(info.Image1->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!info.Image1->pixmap().isNull());
        QCOMPARE(info.lblAddress->text(), TfrmInfo::WebAddress().toString());
        QCOMPARE(info.btnOk->text(), QStringLiteral("Ok"));
        QVERIFY(info.btnOk->isDefault());
        QCOMPARE(info.Timer->interval(), 4000);
        QVERIFY(!info.Timer->isActive());
        QVERIFY(info.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(info.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        // Top to bottom as the box is read.
        const QList<QWidget*> order = {info.lblTitle, info.lblVersion, info.lblNotice, info.Image1, info.lblAddress,
                                       info.Bevel1, info.btnOk};
        info.show();
        for (int i = 1; i < order.size(); ++i)
            QVERIFY2(order[i - 1]->mapTo(&info, QPoint()).y() < order[i]->mapTo(&info, QPoint()).y(),
                     qPrintable(order[i]->objectName()));
        info.close();
    }

    void splashClosesItselfWhenTheTimerFires()
    {
        QWidget main;
        main.show();
        TfrmInfo info(&main);
        info.showSplash();
        QVERIFY(info.isVisible());
        QVERIFY(info.isSplashShowing());
        QVERIFY(!info.btnOk->isVisible());
        QVERIFY(info.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!isFramed(info));
        QVERIFY(!info.isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(info.Timer->isActive());
        QCOMPARE(info.Timer->interval(), 4000);
        const QRect screen = info.screen()->availableGeometry();
        QVERIFY(qAbs(info.frameGeometry().center().x() - screen.center().x()) <= 2);
        QVERIFY(qAbs(info.frameGeometry().center().y() - screen.center().y()) <= 2);

        // The timer's own timeout, brought forward.
        info.Timer->setInterval(1);
        QTRY_VERIFY_WITH_TIMEOUT(!info.isVisible(), 3000);
        QVERIFY(!info.isSplashShowing());
        QVERIFY(!info.Timer->isActive());
        QVERIFY(info.btnOk->isVisibleTo(&info));
        QVERIFY(isFramed(info));
        QVERIFY(main.isVisible());
        // A second fire, queued before the stop, finds nothing to close.
        info.TimerTimer();
        QVERIFY(!info.isVisible());

        // Escape on the splash ends it as the timer would: the next splash starts over.
        info.Timer->setInterval(TfrmInfo::kSplashMilliseconds);
        info.showSplash();
        info.reject();
        QVERIFY(!info.isVisible());
        QVERIFY(!info.Timer->isActive());
        QVERIFY(info.btnOk->isVisibleTo(&info));
    }

    void pictureOpensTheAddress()
    {
        UrlRecorder urls;
        QWidget main;
        TfrmInfo info(&main);
        info.showSplash();
        QTest::mouseClick(info.Image1, Qt::LeftButton);
        QCOMPARE(urls.opened, QList<QUrl>{QUrl(QStringLiteral("http://www.dravik.at"))});
        // Only the picture opens it, and only a left click.
        QTest::mouseClick(info.lblVersion, Qt::LeftButton);
        QTest::mouseClick(info.Image1, Qt::RightButton);
        QCOMPARE(urls.opened.size(), 1);
        info.TimerTimer();

        WhileModal run(info, [&](QWidget*) {
            QTest::mouseClick(info.Image1, Qt::LeftButton);
            info.btnOkClick();
        });
        info.execInfo();
        QCOMPARE(urls.opened.size(), 2);
        QCOMPARE(urls.opened.last(), TfrmInfo::WebAddress());
    }

    void infoEndsTheSplashThenShowsModally()
    {
        QWidget main;
        main.show();
        TfrmInfo info(&main);
        info.showSplash();
        bool modal = false, splashOver = false;
        WhileModal run(info, [&](QWidget* active) {
            modal = active == &info;
            splashOver = !info.isSplashShowing() && !info.Timer->isActive() && info.btnOk->isVisible() && isFramed(info);
            // A splash asked for now would take the box out of its modal run.
            info.showSplash();
            splashOver = splashOver && !info.isSplashShowing() && QApplication::activeModalWidget() == &info;
            QTest::keyClick(active ? active : &info, Qt::Key_Escape);
        });
        info.execInfo();
        QVERIFY(modal);
        QVERIFY(splashOver);
        QVERIFY(!info.isVisible());
        QVERIFY(!info.Timer->isActive());
    }

    void enterAndEscapeClose()
    {
        QWidget main;
        TfrmInfo info(&main);
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QSignalSpy ok(info.btnOk, &QPushButton::clicked);
            bool reached = false;
            WhileModal run(info, [&](QWidget* active) {
                reached = active == &info;
                QTest::keyClick(active ? active : &info, key);
            });
            QElapsedTimer clock;
            clock.start();
            info.execInfo();
            QVERIFY2(reached, qPrintable(QString::number(key)));
            // Closed by the key, not by the guard's five seconds.
            QVERIFY(clock.elapsed() < 4000);
            QVERIFY(!info.isVisible());
            // Enter presses Ok; Escape closes without it.
            QCOMPARE(ok.count(), key == Qt::Key_Escape ? 0 : 1);
        }
    }
};

QTEST_MAIN(TestInfo)
#include "TestInfo.moc"
