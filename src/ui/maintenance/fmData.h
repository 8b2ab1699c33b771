#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class Grid;
class QAction;
class QMenu;
class QMenuBar;
class SavedPageWindow;
class WebBrowser;

// The maintenance window: groups and links edited in two grids and saved in one step.
class fmData : public QDialog
{
    Q_OBJECT
public:
    explicit fmData(QWidget *parent = nullptr);

    // Centres the window in the area (twips), loads, shows it modally and destroys it.
    static void Act(int nX1, int nX2, int nY1, int nY2, QWidget *parent = nullptr);
    // Positions and loads without showing (the first steps of Act).
    void prepare(int nX1, int nX2, int nY1, int nY2);

    void LoadData();
    bool SaveData();
    void InitDb();
    void DelPics();
    void InsRows(int index);
    void DelRows(int index);
    void DelDead();
    // Selects the link rows whose address is the same page as a row of a lower number's.
    void SelTwins();
    std::vector<int> twinRows; // rows "重複を選択" chose, ascending; "行削除" takes them
    void ChkLink();
    // The link check of the selected link rows, and of the links of the selected groups.
    void ChkSelected();
    void ChkGroups();
    // The deadline of one address in the link check; tests shorten it.
    int linkDeadlineMs = 20000;
    // The link check's progress window while it runs.
    class QProgressDialog *linkProgress = nullptr;
    // The selected link rows that moved for good take the address they moved to; saved with
    // the next "更新".
    void MoveToFinal();
    // The saved copy of the active link row, in a viewer of its own.
    void ShowSaved();
    std::function<WebBrowser *(QWidget *)> browserFactory; // the viewer's; tests pass a fake
    SavedPageWindow *savedPage = nullptr;
    void MarkRow(int index, int row);
    void SelRange(int index, int &start, int &count) const;
    // The rows "行削除" and "移転先に更新" act on: those "重複を選択" chose, the remembered
    // block, or the active row.
    std::vector<int> selectedRows(int index) const;
    // False when the user keeps the window open.
    bool CloseWnd();

    bool bChg = false;
    bool bBusy = false;
    bool checking = false; // a link check runs: the window takes no command
    QString sDel[2];
    int nSel1[2] = {0, 0};
    int nSel2[2] = {0, 0};
    Grid *vSpr[2] = {nullptr, nullptr};

    QMenuBar *menuBar = nullptr;
    QMenu *mnFile = nullptr;
    QMenu *mnGrp = nullptr;
    QMenu *mnURL = nullptr;
    QAction *mnFileItem[6] = {};
    QAction *mnGrpItem[4] = {};
    QAction *mnURLItem[9] = {};

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildGrids();
    void buildMenus();
    void arrange();
    void checkRows(const std::vector<int> &rows, bool showing);
    // Takes rows (ascending) out of the grid; true when stored ones will go on the next save.
    bool removeRows(int index, const std::vector<int> &rows);
};
