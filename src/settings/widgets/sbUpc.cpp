#include "sbUpc.h"

#include "platform/Twips.h"
#include "settings/ProgramState.h"
#include "settings/yIni.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {

// Places a control by its design geometry in twips.
void place(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(Twips::toPixelsX(left), Twips::toPixelsY(top), Twips::toPixelsX(width),
                   Twips::toPixelsY(height));
}

} // namespace

sbUpc::sbUpc(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("画像の指定"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(Twips::toPixelsX(3135), Twips::toPixelsY(2070));

    chPic = new QCheckBox(tr("ポータルページﾞに画像を取り込む"), this);
    place(chPic, 75, 15, 3030, 300);
    frPic = new QGroupBox(tr("画像の縮小率"), this);
    place(frPic, 210, 285, 2850, 645);
    const char *captions[3] = {"75%", "50%", "32%"};
    const int lefts[3] = {120, 1020, 1920};
    auto *group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        opSize[i] = new QRadioButton(QString::fromLatin1(captions[i]), frPic);
        place(opSize[i], lefts[i], 285, 675, 195);
        group->addButton(opSize[i], i);
    }
    // The ideographic spaces make the label wrap before its second line.
    Label1 = new QLabel(tr("５０%: A４縦の１ページに 4コマ入ります ") + QString(24, QChar(0x3000))
                            + tr("サイズ変更後は画像の一括出力を指定して下さい"),
                        this);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(Label1, 195, 1050, 2985, 795);
    cmOk[0] = new QPushButton(tr("Ok(&O)"), this);
    place(cmOk[0], 1260, 1695, 880, 360);
    cmOk[1] = new QPushButton(tr("Cancel(&C)"), this);
    place(cmOk[1], 2160, 1695, 880, 360);
    cmOk[0]->setDefault(true);

    // Tab order as the controls stand.
    QWidget::setTabOrder(chPic, opSize[0]);
    QWidget::setTabOrder(opSize[0], opSize[1]);
    QWidget::setTabOrder(opSize[1], opSize[2]);
    QWidget::setTabOrder(opSize[2], cmOk[0]);
    QWidget::setTabOrder(cmOk[0], cmOk[1]);

    connect(chPic, &QCheckBox::clicked, this, &sbUpc::chPic_Click);
    connect(cmOk[0], &QPushButton::clicked, this, [this] { cmOk_Click(0); });
    connect(cmOk[1], &QPushButton::clicked, this, [this] { cmOk_Click(1); });
}

void sbUpc::chPic_Click()
{
    const bool on = chPic->isChecked();
    frPic->setEnabled(on);
    for (QRadioButton *op : opSize)
        op->setEnabled(on);
}

void sbUpc::cmOk_Click(int index)
{
    m_ok = index == 0;
    hide();
    done(m_ok ? QDialog::Accepted : QDialog::Rejected);
}

void sbUpc::load(qint16 iSz)
{
    chPic->setChecked(iSz != -1);
    chPic_Click();
    const int index = iSz == 32 ? 2 : iSz == 75 ? 0 : 1;
    opSize[index]->setChecked(true);
}

qint16 sbUpc::chosen() const
{
    if (!chPic->isChecked())
        return -1;
    if (opSize[0]->isChecked())
        return 75;
    if (opSize[2]->isChecked())
        return 32;
    return 50;
}

void sbUpc::Act(qint16 &iSz, QWidget *parent)
{
    iSz = Usr::Ini ? qint16(Usr::Ini->vGtVal(QStringLiteral("PC_SIZE"), 0).toDouble()) : 0;
    sbUpc dialog(parent);
    dialog.load(iSz);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        dialog.move(s.x() + (s.width() - dialog.frameGeometry().width()) / 2,
                    s.y() + (s.height() - dialog.frameGeometry().height()) / 2);
    }
    dialog.m_ok = false;
    dialog.exec();
    if (dialog.m_ok) {
        iSz = dialog.chosen();
        if (Usr::Ini)
            Usr::Ini->SetVal(QStringLiteral("PC_SIZE"), int(iSz));
    }
}
