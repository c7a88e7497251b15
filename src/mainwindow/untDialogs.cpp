#include "mainwindow/untDialogs.h"

#include <QDialog>
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

QStringList GetOpenFileNames(QWidget* parent, const QString& title, const QString& folder, const QStringList& filters,
                             const QString& defaultSuffix)
{
    if (DialogScript* script = DialogScript::current()) {
        script->shown.append({DialogScript::Kind::OpenFiles, title, folder});
        return script->fileNames.isEmpty() ? QStringList() : script->fileNames.takeFirst();
    }
    QFileDialog dialog(parent, title, folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(defaultSuffix);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
        auto applyPatterns = [&dialog](const QString& filter) {
            if (auto* model = dialog.findChild<QFileSystemModel*>())
                model->setNameFilters(filterPatterns(filter));
        };
        applyPatterns(filters.first());
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
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
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
