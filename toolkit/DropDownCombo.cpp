#include "toolkit/DropDownCombo.h"

#include <QLineEdit>

DropDownCombo::DropDownCombo(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    // A typed text is the field's value only: it must not become an item of the list.
    setInsertPolicy(QComboBox::NoInsert);
}

void DropDownCombo::setItemsKeepingText(const QStringList& items)
{
    const QString text = currentText();
    const QSignalBlocker blocker(this);
    clear();
    addItems(items);
    setCurrentIndex(-1);
    setEditText(text);
}

void DropDownCombo::showPopup()
{
    Q_EMIT aboutToDropDown();
    QComboBox::showPopup();
}
