#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The image settings dialog: page pictures on or off, and their scale ("PC_SIZE").
class sbUpc : public QDialog
{
    Q_OBJECT
public:
    explicit sbUpc(QWidget *parent = nullptr);

    // Shows the dialog modally over parent; on return iSz holds the setting's value (the new
    // one after OK, the stored one after Cancel). The dialog is destroyed afterwards.
    static void Act(qint16 &iSz, QWidget *parent = nullptr);

    QCheckBox *chPic = nullptr;
    QGroupBox *frPic = nullptr;
    QRadioButton *opSize[3] = {nullptr, nullptr, nullptr}; // 75 %, 50 %, 32 %
    QLabel *Label1 = nullptr;
    QPushButton *cmOk[2] = {nullptr, nullptr}; // Ok, Cancel

private:
    void chPic_Click();
    void cmOk_Click(int index);
    void load(qint16 iSz);
    qint16 chosen() const;

    bool m_ok = false;
};
