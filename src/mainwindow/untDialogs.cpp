#include "mainwindow/untDialogs.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTreeView>

#include <algorithm>

namespace {

DialogScript* g_script = nullptr;

QStringList filterPatterns(const QString& nameFilter)
{
    // Qt splits a filter's patterns at blanks only; the filter texts list them with ";".
    const int open = nameFilter.lastIndexOf(QLatin1Char('('));
    const int close = nameFilter.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return {};
    QStringList patterns = nameFilter.mid(open + 1, close - open - 1).split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts);
    if (patterns == QStringList{QStringLiteral("*.*")})
        patterns = QStringList{QStringLiteral("*")};
    return patterns;
}

} // namespace

DialogScript::DialogScript() : m_previous(g_script)
{
    g_script = this;
}

DialogScript::~DialogScript()
{
    if (g_script == this)
        g_script = m_previous;
}

DialogScript* DialogScript::current()
{
    return g_script;
}

QStringList DialogScript::texts() const
{
    QStringList t;
    for (const Shown& s : shown)
        if (s.kind == Kind::Information || s.kind == Kind::Error || s.kind == Kind::Question)
            t << s.text;
    return t;
}

void ShowMessageOkBox(QWidget* parent, const QString& text, RuboUi::MsgKind kind)
{
    const bool error = kind == RuboUi::MsgKind::Error;
    const QString title = error ? QStringLiteral("Fehler") : QStringLiteral("Information");
    if (DialogScript* script = DialogScript::current()) {
        script->shown.append({error ? DialogScript::Kind::Error : DialogScript::Kind::Information, title, text});
        return;
    }
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information, title, text, QMessageBox::NoButton, parent);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool ShowAskYesNoBox(QWidget* parent, const QString& text)
{
    const QString title = QStringLiteral("Bestätigung");
    if (DialogScript* script = DialogScript::current()) {
        script->shown.append({DialogScript::Kind::Question, title, text});
        return script->answers.isEmpty() ? script->defaultAnswer : script->answers.takeFirst();
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    // Escape and the close box answer No: a question never deletes anything unless confirmed.
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

namespace {

// The filters, and the widening of the dialog that the open and the save dialog share.
void prepareFileDialog(QFileDialog& dialog, const QStringList& filters, const QString& filter, const QString& defaultSuffix)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(defaultSuffix);
    if (!filters.isEmpty()) {
        const QString first = filters.contains(filter) ? filter : filters.first();
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(first);
        auto applyPatterns = [&dialog](const QString& chosen) {
            if (auto* model = dialog.findChild<QFileSystemModel*>())
                model->setNameFilters(filterPatterns(chosen));
        };
        applyPatterns(first);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applyPatterns, Qt::QueuedConnection);
    }
    // Once a folder is read, the size, type and date of its files show whole: their columns take
    // the width their texts need, and the dialog widens for them as far as the screen allows.
    if (auto* model = dialog.findChild<QFileSystemModel*>()) {
        QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, [&dialog] {
            auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
            if (!list)
                return;
            for (int column = 1; column < list->header()->count(); ++column)
                list->resizeColumnToContents(column);
            const int missing = list->header()->length() - list->viewport()->width();
            const int room = dialog.screen() ? dialog.screen()->availableGeometry().width() : dialog.width();
            if (missing <= 0)
                return;
            const int widthBefore = dialog.width();
            dialog.resize(std::min(widthBefore + missing, room), dialog.height());
            dialog.move(dialog.pos() - QPoint((dialog.width() - widthBefore) / 2, 0));
        }, Qt::QueuedConnection);
    }
}

} // namespace

QStringList GetOpenFileNames(QWidget* parent, const QString& title, const QString& folder, const QStringList& filters,
                             const QString& defaultSuffix)
{
    if (DialogScript* script = DialogScript::current()) {
        script->shown.append({DialogScript::Kind::OpenFiles, title, folder});
        return script->fileNames.isEmpty() ? QStringList() : script->fileNames.takeFirst();
    }
    QFileDialog dialog(parent, title, folder);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    prepareFileDialog(dialog, filters, filters.value(0), defaultSuffix);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString GetSaveFileName(QWidget* parent, const QString& title, const QString& folder, const QStringList& filters,
                        QString& filter, const QString& defaultSuffix)
{
    if (DialogScript* script = DialogScript::current()) {
        script->shown.append({DialogScript::Kind::SaveFile, title, folder});
        return script->fileNames.isEmpty() ? QString() : script->fileNames.takeFirst().value(0);
    }
    QFileDialog dialog(parent, title, folder);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The export asks before it overwrites; asking twice would only teach users to click Yes.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    prepareFileDialog(dialog, filters, filter, defaultSuffix);
    while (dialog.exec() == QDialog::Accepted) {
        const QString file = dialog.selectedFiles().value(0);
        filter = dialog.selectedNameFilter();
        const QFileInfo info(file);
        if (!info.dir().exists()) {
            ShowMessageOkBox(&dialog, QStringLiteral("Der Ordner ") + QDir::toNativeSeparators(info.absolutePath())
                                          + QStringLiteral(" existiert nicht."), RuboUi::MsgKind::Information);
            continue;
        }
        if (info.exists()
            || ShowAskYesNoBox(&dialog, QStringLiteral("Die Datei ") + QDir::toNativeSeparators(file)
                                            + QStringLiteral(" existiert nicht.\nSoll sie erstellt werden?")))
            return file;
    }
    return {};
}

int ExecDialog(QDialog& dialog)
{
    if (DialogScript* script = DialogScript::current()) {
        script->shown.append({DialogScript::Kind::Dialog, dialog.windowTitle(), dialog.objectName()});
        if (script->dialogResults.isEmpty())
            return QDialog::Rejected;
        const std::function<int(QDialog&)> answer = script->dialogResults.takeFirst();
        return answer ? answer(dialog) : int(QDialog::Rejected);
    }
    return dialog.exec();
}
