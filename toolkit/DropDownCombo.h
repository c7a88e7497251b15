#pragma once

#include <QComboBox>

// An editable combo box that announces its list before it drops down, so the list can be
// filled as late as possible. Filling it keeps the text the user typed.
class DropDownCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit DropDownCombo(QWidget* parent = nullptr);

    // Replaces the items; the text in the field stays as it was.
    void setItemsKeepingText(const QStringList& items);
    void showPopup() override;

Q_SIGNALS:
    void aboutToDropDown();
};
