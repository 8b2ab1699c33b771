#include "ReceiverDialog.h"

#include "platform/Dialogs.h"
#include "settings/CaptureSettings.h"
#include "ui/main/Receiver.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

ReceiverDialog::ReceiverDialog(Receiver &receiver, yIni &ini, QWidget *parent)
    : QDialog(parent)
    , m_receiver(receiver)
    , m_ini(ini)
{
    setWindowTitle(tr("ﾌﾞﾗｳｻﾞから登録の設定"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    chOn = new QCheckBox(tr("ﾌﾞﾗｳｻﾞからの登録を受け付ける"), this);
    chOn->setChecked(CaptureSettings::isOn(ini));
    spPort = new QSpinBox(this);
    spPort->setRange(1, 65535);
    spPort->setValue(CaptureSettings::port(ini));
    txAddress = new QLineEdit(this);
    txAddress->setReadOnly(true);
    txToken = new QLineEdit(this);
    txToken->setReadOnly(true);
    QString error;
    txToken->setText(CaptureSettings::token(ini, &error));
    if (!error.isEmpty())
        Dialogs::message(tr("ﾌﾞﾗｳｻﾞから登録のﾄｰｸﾝを保存できません: %1").arg(error));
    cmCopy = new QPushButton(tr("ｺﾋﾟｰ"), this);
    cmRenew = new QPushButton(tr("新しいﾄｰｸﾝ"), this);
    lbState = new QLabel(this);
    lbState->setWordWrap(true);

    auto *token = new QHBoxLayout;
    token->addWidget(txToken, 1);
    token->addWidget(cmCopy);
    token->addWidget(cmRenew);
    auto *form = new QFormLayout;
    form->addRow(chOn);
    form->addRow(tr("ﾎﾟｰﾄ"), spPort);
    form->addRow(tr("ｱﾄﾞﾚｽ"), txAddress);
    form->addRow(tr("ﾄｰｸﾝ"), token);
    form->addRow(lbState);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(tr("Ok(&O)"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Cancel(&C)"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    auto *all = new QVBoxLayout(this);
    all->addLayout(form);
    all->addWidget(buttons);
    resize(520, sizeHint().height());

    connect(spPort, &QSpinBox::valueChanged, this,
            [this](int port) { txAddress->setText(Receiver::address(quint16(port))); });
    connect(cmCopy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(txToken->text()); });
    connect(cmRenew, &QPushButton::clicked, this, &ReceiverDialog::renew);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    txAddress->setText(Receiver::address(quint16(spPort->value())));
    showState();
}

void ReceiverDialog::showState()
{
    if (m_receiver.isListening())
        lbState->setText(tr("受付中: %1").arg(Receiver::address(m_receiver.server().port())));
    else if (!m_receiver.failure().isEmpty())
        lbState->setText(tr("停止中: %1").arg(m_receiver.failure()));
    else
        lbState->setText(tr("停止中"));
}

void ReceiverDialog::renew()
{
    if (!Dialogs::message(tr("新しいﾄｰｸﾝにすると、今のﾄｰｸﾝを設定したﾌﾞﾗｳｻﾞからは登録できなく"
                             "なります。よろしいですか?"),
                          Dialogs::Buttons::OkCancel))
        return;
    QString error;
    const QString token = CaptureSettings::renewToken(m_ini, &error);
    m_receiver.setToken(token);
    txToken->setText(token);
    if (!error.isEmpty())
        Dialogs::message(tr("ﾌﾞﾗｳｻﾞから登録のﾄｰｸﾝを保存できません: %1").arg(error));
}

void ReceiverDialog::apply()
{
    const bool on = chOn->isChecked();
    const auto port = quint16(spPort->value());
    const bool changed = on != CaptureSettings::isOn(m_ini) || port != CaptureSettings::port(m_ini)
        || on != (m_receiver.isListening() || !m_receiver.failure().isEmpty());
    QString error;
    if (!CaptureSettings::save(m_ini, on, port, &error))
        Dialogs::message(tr("ﾕｰｻﾞｰ環境ﾌｧｲﾙを保存できません: %1").arg(error));
    if (changed || (on && !m_receiver.isListening()))
        m_receiver.start(m_ini);
    showState();
}

void ReceiverDialog::Act(Receiver &receiver, yIni &ini, QWidget *parent)
{
    ReceiverDialog dialog(receiver, ini, parent);
    if (dialog.exec() == QDialog::Accepted)
        dialog.apply();
}
