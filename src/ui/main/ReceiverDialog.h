#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class Receiver;
class yIni;

// "ﾌﾞﾗｳｻﾞから登録の設定": the receiver's address and token (copied for the browser's
// extension, or renewed), on or off, and its port.
class ReceiverDialog : public QDialog
{
    Q_OBJECT
public:
    ReceiverDialog(Receiver &receiver, yIni &ini, QWidget *parent = nullptr);

    // Shows the dialog modally; after OK the settings are saved and the receiver restarted.
    static void Act(Receiver &receiver, yIni &ini, QWidget *parent = nullptr);

    QCheckBox *chOn = nullptr;
    QSpinBox *spPort = nullptr;
    QLineEdit *txAddress = nullptr;
    QLineEdit *txToken = nullptr;
    QPushButton *cmCopy = nullptr;
    QPushButton *cmRenew = nullptr;
    QLabel *lbState = nullptr;

    void renew();
    // Saves on/off and the port and restarts the receiver when they changed.
    void apply();

private:
    void showState();

    Receiver &m_receiver;
    yIni &m_ini;
};
