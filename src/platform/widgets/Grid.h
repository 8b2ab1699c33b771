#pragma once

#include "platform/GridModel.h"

#include <QTableView>

// The spreadsheet-like grid of the windows, over a flat string model. Columns and rows count
// from 1; row 0 stands for the header row.
class Grid : public QTableView
{
    Q_OBJECT
public:
    explicit Grid(QWidget *parent = nullptr);

    GridModel *model() const { return m_model; }

    int MaxCols() const { return m_model->MaxCols(); }
    void SetMaxCols(int n);
    int MaxRows() const { return m_model->MaxRows(); }
    void SetMaxRows(int n) { m_model->SetMaxRows(n); }
    QString GetText(int col, int row) const { return m_model->GetText(col, row); }
    void SetText(int col, int row, const QString &text) { m_model->SetText(col, row, text); }
    void InsertRows(int first, int count) { m_model->InsertRows(first, count); }
    void DeleteRows(int first, int count);
    void ClearAll() { m_model->ClearAll(); }
    void SetScreenUpdate(bool on);

    int ActiveRow() const;
    void SetActiveRow(int row);
    int ActiveCol() const;
    void SetActiveCol(int col);
    int TopRow() const;
    void SetTopRow(int row);

    void SetHeader(int col, const QString &text);
    void SetColHidden(int col, bool hidden);
    void SetColWidth(int col, double chars);
    double ColWidth(int col) const;
    // A width in units at least minChars and at most maxChars (0: no limit) in which every
    // text shows whole, the header's included.
    void FitColWidth(int col, const QStringList &texts, double minChars, double maxChars = 0);
    void SetColLocked(int col, bool locked);
    void SetColText(int col, int maxLength);
    void SetColNumber(int col, int decimals, double min, double max);
    void SetColCombo(int col);
    // Tab-separated entries of a column's drop-down cells.
    void TypeComboBoxList(int col, const QString &items);
    void SetColForeground(int col, const QColor &colour);
    void SetColAlignment(int col, Qt::Alignment alignment);
    void SetRowHeadersVisible(bool visible);
    void SetRowHeaderWidth(double chars);
    // Typing into a cell replaces its text.
    void SetReplaceOnEdit(bool on) { m_replaceOnEdit = on; }
    bool replaceOnEdit() const { return m_replaceOnEdit; }

    // A KeyDown handler calls this to keep the grid's own handling of that key from following.
    void consumeKey() { m_keyConsumed = true; }

    // The width in pixels of one column-width unit: an average character of the grid's font.
    double unitPixels() const;

    // The first installed font of the families, else the desktop's default font.
    static QFont pickFont(const QStringList &families, int pointSize = 0);

Q_SIGNALS:
    void Click(int col, int row);
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void RightClick(int col, int row, const QPoint &globalPos);
    // The user selected a block: by dragging over cells or Shift with a click or the arrow
    // keys (reported when the button or Shift is released, for two cells or more), or by
    // picking rows on the row numbers (a click, Shift+click or a drag; every column).
    void BlockSelected(int col1, int row1, int col2, int row2);
    // The selection changed, for whatever reason: a click, a key, the program moving the
    // active cell, rows deleted, the grid emptied or refilled. A block remembered from an
    // earlier BlockSelected no longer stands; a new block, if any, follows as BlockSelected.
    void SelectionChanged();
    void Change(int col, int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    class RowHeader;
    void reportBlock(bool rows = false);

    GridModel *m_model;
    bool m_replaceOnEdit = false;
    bool m_keyConsumed = false;
    bool m_userSelecting = false;
    std::vector<double> m_widths;
};
