#include "mainwindow/untIcons.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QTest>

namespace {

// A picture that paints nothing would leave an empty slot in the toolbar or the tree.
int opaquePixels(const QIcon& icon, int size)
{
    const QImage img = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    if (img.size() != QSize(size, size))
        return -1;
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) > 200;
    return n;
}

} // namespace

class TestIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toolbarPicturesAreDrawn();
    void treeListsHaveOnePicturePerLevel_data();
    void treeListsHaveOnePicturePerLevel();
    void logoFillsTheRequestedSize();
    void setupNamesTheProgramAndSpeaksGerman();
};

void TestIcons::toolbarPicturesAreDrawn()
{
    QList<QImage> pictures;
    for (int i = 0; i < kToolbarPictureCount; ++i) {
        const QIcon icon = ToolbarIcon(ToolbarPicture(i));
        QVERIFY2(!icon.isNull(), qPrintable(QString::number(i)));
        for (int size : {16, 48})
            QVERIFY2(opaquePixels(icon, size) > size * size / 10, qPrintable(QStringLiteral("%1 at %2").arg(i).arg(size)));
        pictures << icon.pixmap(16, 16).toImage();
    }
    // Six buttons, six different pictures: a button showing another one's picture misleads.
    for (int i = 0; i < pictures.size(); ++i)
        for (int j = i + 1; j < pictures.size(); ++j)
            QVERIFY2(pictures[i] != pictures[j], qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
    QCOMPARE(int(ToolbarPicture::Kostenstellen), kToolbarPictureCount - 1);
    QVERIFY(ToolbarIcon(ToolbarPicture(kToolbarPictureCount)).isNull());
    QVERIFY(ToolbarIcon(ToolbarPicture(-1)).isNull());
    QVERIFY(opaquePixels(ApplicationIcon(), 256) > 256 * 256 / 4);
}

void TestIcons::treeListsHaveOnePicturePerLevel_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("count");
    QTest::newRow("Ziele") << "imglDestination" << 3;
    QTest::newRow("Kostenstellen & Nebenstellen") << "imglKostenstellen" << 4;
    QTest::newRow("Kostenstellen & Zonen") << "imglKostenzone" << 4;
    QTest::newRow("Zonen") << "imglZone" << 4;
    QTest::newRow("Inland - Ausland") << "imglInlandAusland" << 5;
    QTest::newRow("Nebenstellen") << "imglNebenstelle" << 4;
    QTest::newRow("Filialen & Nebenstellen") << "imglFilialen" << 4;
    QTest::newRow("Filialen & Kostenstellen") << "imglFilialeKosten" << 5;
    QTest::newRow("unknown name") << "imglGibtEsNicht" << 5;
    QTest::newRow("empty name") << "" << 5;
}

void TestIcons::treeListsHaveOnePicturePerLevel()
{
    QFETCH(QString, name);
    QFETCH(int, count);
    const QList<QIcon> icons = TreePictures(name);
    QCOMPARE(icons.size(), count);
    for (int i = 0; i < icons.size(); ++i)
        QVERIFY2(opaquePixels(icons[i], 16) > 20, qPrintable(QString::number(i)));
}

void TestIcons::logoFillsTheRequestedSize()
{
    const QPixmap logo = LogoPixmap(QSize(63, 36));
    QCOMPARE(logo.size(), QSize(63, 36));
    const QImage img = logo.toImage();
    // Text and background must differ, or the name is unreadable.
    QVERIFY(img.pixelColor(31, 14) != img.pixelColor(2, 18) || img.pixelColor(20, 14) != img.pixelColor(2, 18));
    QVERIFY(LogoPixmap(QSize(0, 0)).isNull());
}

void TestIcons::setupNamesTheProgramAndSpeaksGerman()
{
    SetupApplication(*qApp);
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("DravikRuboTool"));
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("DRAVIK"));
    // No display name of its own: the platform would append it to every window's title.
    QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    QCOMPARE(ProgramTitle(), QStringLiteral("DRAVIK Einzelverbindungsaufschlüsselung"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.2.0.2"));
    QVERIFY(!QGuiApplication::windowIcon().isNull());
    // The test runs under LC_ALL=C, which must fall back to German formats.
    if (QLocale::system().language() == QLocale::C)
        QCOMPARE(QLocale().language(), QLocale::German);

    const QString qm = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm");
    if (!QFileInfo::exists(qm))
        QSKIP("qtbase_de.qm is not installed (package qt6-translations-l10n)");
    // Qt 6 takes the texts of standard dialog buttons from this context.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
}

QTEST_MAIN(TestIcons)
#include "TestIcons.moc"
