#pragma once

#include "ui/maintenance/MaintenanceMenus.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class Grid;
class QProgressDialog;
class SavedPageWindow;
class WebBrowser;

// The maintenance window: groups and links edited in two grids and saved in one step. Tests
// find the grids by their object names ("vSpr0", "vSpr1"), their columns by the names of
// MaintenanceGrids.h and the menu items by the named indices of MaintenanceMenus.h.
class fmData : public QDialog
{
    Q_OBJECT
public:
    explicit fmData(QWidget *parent = nullptr);

    // Centres the window in the area (twips), loads, shows it modally and destroys it.
    static void Act(int nX1, int nX2, int nY1, int nY2, QWidget *parent = nullptr);
    // Positions and loads without showing (the first steps of Act).
    void prepare(int nX1, int nX2, int nY1, int nY2);

    // The commands of the menus.
    void LoadData();
    bool SaveData();
    void InitDb();
    void InsRows(int index);
    void DelRows(int index);
    void DelDead();
    // Selects the link rows whose address is the same page as a row of a lower number's.
    void SelTwins();
    void ChkLink();
    // The link check of the selected link rows, and of the links of the selected groups.
    void ChkSelected();
    void ChkGroups();
    // The selected link rows that moved for good take the address they moved to; saved with
    // the next "更新".
    void MoveToFinal();
    // The saved copy of the active link row, in a viewer of its own.
    void ShowSaved();
    // False when the user keeps the window open; edits pending ask 保存 / 破棄 / ｷｬﾝｾﾙ.
    bool CloseWnd();

    const MaintenanceMenus &menus() const { return m_menus; }
    // The grids hold edits not saved yet.
    bool hasEdits() const { return bChg; }
    // The viewer of saved copies and the deadline of one address in the link check (tests).
    void setBrowserFactory(std::function<WebBrowser *(QWidget *)> f) { browserFactory = f; }
    void setLinkDeadline(int ms) { linkDeadlineMs = ms; }

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildGrids();
    void buildMenus();
    void arrange();
    void DelPics();
    void MarkRow(int index, int row);
    void SelRange(int index, int &start, int &count) const;
    // The rows "行削除" and "移転先に更新" act on: those "重複を選択" chose, the remembered
    // block, or the active row.
    std::vector<int> selectedRows(int index) const;
    void checkRows(const std::vector<int> &rows, bool showing);
    // Takes rows (ascending) out of the grid; true when stored ones will go on the next save.
    bool removeRows(int index, const std::vector<int> &rows);

    bool bChg = false;
    bool bBusy = false;
    bool checking = false; // a link check runs: the window takes no command
    QString sDel[2];
    int nSel1[2] = {0, 0};
    int nSel2[2] = {0, 0};
    Grid *vSpr[2] = {nullptr, nullptr};
    std::vector<int> twinRows; // rows "重複を選択" chose, ascending; "行削除" takes them
    MaintenanceMenus m_menus;
    std::function<WebBrowser *(QWidget *)> browserFactory; // the viewer's
    SavedPageWindow *savedPage = nullptr;
    int linkDeadlineMs = 20000;
    QProgressDialog *linkProgress = nullptr; // the link check's, while it runs
};
