#pragma once

#include <QDialog>

#include <functional>

class EditGrid;
class QPushButton;
class RecordTable;
class TdmMain;

// "Geladene Dateien": the registry of loaded files; loads more, or deletes one with its calls.
class TfrmLoaded : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpContext = 800;

    // `load` is the main window's "&Laden..."; `releaseViews` empties its tree and closes its
    // lists, so that nothing reads the calls while they go.
    TfrmLoaded(TdmMain& dm, std::function<void()> load, std::function<void()> releaseViews, QWidget* parent = nullptr);

    void btnLoadClick();
    void btnDeleteClick();

    RecordTable* tblGeladeneDateien = nullptr;
    EditGrid* DBGrid1 = nullptr;
    QPushButton *btnClose = nullptr, *btnLoad = nullptr, *btnDelete = nullptr;

private:
    void reopen();

    TdmMain& m_dm;
    std::function<void()> m_load;
    std::function<void()> m_releaseViews;
};
