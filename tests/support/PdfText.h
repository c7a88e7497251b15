#pragma once

#include <QString>
#include <QStringList>

// The text of a PDF as poppler's pdftotext reads it, one entry per page; `layout` keeps the
// columns where they are printed. Fails the running test when the tool cannot read the file.
QStringList PdfPages(const QString& file, bool layout = true);
