#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

// One sheet as openpyxl reads it (tests/tools/read-xlsx.py).
struct Sheet
{
    QString name;
    QJsonArray rows;
    QJsonObject widths;
    QString frozen;

    QJsonValue cell(int row, int column) const
    {
        const QJsonArray r = rows.at(row).toArray();
        return column < r.size() ? r.at(column) : QJsonValue();
    }
    QJsonValue value(int row, int column) const { return cell(row, column).toObject().value("v"); }
    QString text(int row, int column) const { return value(row, column).toString(); }
};

// Every sheet of a workbook as another reader, openpyxl (tests/tools/read-xlsx.py), sees it.
QList<Sheet> readBack(const QString& file);
