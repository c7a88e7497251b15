#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

class QApplication;

// The program's own pictures, drawn in code so they scale and need no image files.

// The pictures of the toolbar's buttons, in the toolbar's order.
enum class ToolbarPicture { Open, Export, CallReport, SumsReport, Filialen, Kostenstellen };
constexpr int kToolbarPictureCount = 6;

QIcon ToolbarIcon(ToolbarPicture picture);
// The picture list of a grouping's tree (its `pictureList` name, e.g. "imglZone"): one picture for
// the root and one per level, 16 by 16. An unknown name gives the five pictures of "imglFilialeKosten".
QList<QIcon> TreePictures(const QString& pictureList);
// The logo at the right of the toolbar, drawn for the given size.
QPixmap LogoPixmap(const QSize& size);
// Window and desktop icon.
QIcon ApplicationIcon();

// The program's name as its main window and an about box show it.
QString ProgramTitle();
// Organisation and application names for QSettings, window icon, and the German translation of
// Qt's own dialogs and buttons (qtbase "de"). Titles stay exactly the windows' own texts.
void SetupApplication(QApplication& app);
