#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/Twips.h"
#include "platform/widgets/Grid.h"
#include "settings/Language.h"
#include "settings/widgets/sbUpc.h"
#include "settings/yIni.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/FakeBrowser.h"
#include "support/SqlSteps.h"
#include "ui/main/LinkListView.h"
#include "ui/main/RegistrationPanel.h"
#include "ui/main/fmLink.h"
#include "ui/maintenance/fmData.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString header(Grid *g, int col)
{
    return g->model()->headerData(col - 1, Qt::Horizontal, Qt::DisplayRole).toString();
}

} // namespace

// The windows under the English translation, offscreen, over a real database: what a person
// whose desktop is not Japanese sees.
class TestEnglishWindow : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<yIni> m_ini;
    std::unique_ptr<fmLink> m_w;

    // A fresh data folder with one group holding one link and one empty group.
    void openDatabase()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        Usr::sDataPh = m_tmp->path() + u'/';
        QVERIFY(QDir().mkpath(Usr::sDataPh + QStringLiteral("Pic")));
        QVERIFY(QDir().mkpath(Usr::sDataPh + QStringLiteral("Arc")));
        QVERIFY(Store::OpenDb(Usr::sDataPh + QStringLiteral("dbLink.mdb")));
        SqlSteps::exec(Sql::kInsertGroup, {1, QStringLiteral("Held"), 1});
        SqlSteps::exec(Sql::kInsertGroup, {2, QStringLiteral("Empty"), 2});
        SqlSteps::exec(
            Sql::kInsertLink,
            {100, QStringLiteral("http://held.example/"), 1, QStringLiteral("held"), QString(), 1});
    }

    void openWindow(Language::Choice language)
    {
        QVERIFY(Language::install(language));
        openDatabase();
        if (QTest::currentTestFailed())
            return;
        if (QTest::currentTestFailed())
            return;
        Store::CloseDb();
        m_ini = std::make_unique<yIni>();
        bool ok = false;
        m_ini->GetTxt(Usr::sDataPh + QStringLiteral("User.xml"), ok);
        m_ini->GetGtx(QStringLiteral("画面"));
        Usr::Ini = m_ini.get();
        m_w = std::make_unique<fmLink>([](QWidget *p) { return new FakeBrowser(p); });
        QString error;
        QVERIFY2(m_w->Form_Load(&error), qPrintable(error));
        Dialogs::clearShown();
    }

    // Controls of one row of the panel's fixed block: none cuts its caption, none overlaps
    // another.
    static void checkFits(const QList<QWidget *> &row)
    {
        for (const QWidget *w : row) {
            if (const auto *label = qobject_cast<const QLabel *>(w))
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
            for (const QWidget *other : row) {
                if (other != w)
                    QVERIFY2(!w->geometry().intersects(other->geometry()),
                             qPrintable(w->objectName() + u' ' + other->objectName()));
            }
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        Shell::enableTestMode();
    }
    void cleanup()
    {
        m_w.reset();
        Usr::Ini = nullptr;
        m_ini.reset();
        Store::CloseDb();
        Language::install(Language::Choice::Japanese);
    }

    void mainWindowMenus()
    {
        openWindow(Language::Choice::English);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_w->mnJob[0]->title(), QStringLiteral("&File"));
        QCOMPARE(m_w->mnJob[1]->title(), QStringLiteral("&Browser"));
        QCOMPARE(m_w->mnJob[2]->title(), QStringLiteral("&List"));
        QCOMPARE(m_w->mnJob[3]->title(), QStringLiteral("&Register"));
        QCOMPARE(m_w->mnFile[2]->text(), QStringLiteral("&Import Bookmarks..."));
        QCOMPARE(m_w->mnFile[5]->text(), QStringLiteral("&Quit"));
        QVERIFY(m_w->mnFile[4]->isSeparator());
        // The shown key follows the translated text.
        QCOMPARE(m_w->mnDisp[1]->text(), QStringLiteral("Go to &Search Page\tF11"));
        QCOMPARE(m_w->mnDisp[7]->text(), QStringLiteral("&Reload\tF5"));
        QCOMPARE(m_w->mnSlc[2]->text(), QStringLiteral("&Find"));
        QCOMPARE(m_w->mnRet[0]->text(), QStringLiteral("Save as &HTML Page..."));
        QCOMPARE(m_w->mnData[0]->text(), QStringLiteral("&Add Link"));
        QCOMPARE(m_w->mnData[3]->text(), QStringLiteral("&Maintenance..."));
        // Every item of the bar is English.
        for (QMenu *menu : m_w->mnJob) {
            for (const QAction *a : menu->actions()) {
                for (const QChar c : a->text())
                    QVERIFY2(c.unicode() < 0x3000, qPrintable(a->text()));
            }
        }
    }

    void mainWindowPanelAndList()
    {
        openWindow(Language::Choice::English);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_w->Label1[1]->text(), QStringLiteral("Group"));
        QCOMPARE(m_w->Label1[0]->text(), QStringLiteral("Order"));
        QCOMPARE(m_w->Frame1->lbFind->text(), QStringLiteral("Find"));
        QCOMPARE(m_w->cmSlc->text(), QStringLiteral("Show"));
        QCOMPARE(m_w->cmWeb[0]->text(), QStringLiteral("Add"));
        QCOMPARE(m_w->cmWeb[1]->toolTip(), QStringLiteral("Back to the previous page"));
        QCOMPARE(header(m_w->vSpr, 3), QStringLiteral("Group"));
        QCOMPARE(header(m_w->vSpr, 4), QStringLiteral("Title"));
        QCOMPARE(header(m_w->vSpr, 5), QStringLiteral("Description"));
        QCOMPARE(header(m_w->vSpr, 1), QStringLiteral("nURL"));
        // Longer English captions get their room in the designed block.
        RegistrationPanel *p = m_w->Frame1;
        checkFits({p->Label1[1], p->cbGrp, p->lbFind, p->txFind});
        checkFits({p->cmSlc, p->Label1[0], p->txSrt, p->lbSim});
    }

    // The Japanese panel keeps its designed places.
    void japaneseKeepsTheDesign()
    {
        openWindow(Language::Choice::Japanese);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_w->mnJob[0]->title(), QStringLiteral("ﾌｧｲﾙ(&F)"));
        QCOMPARE(m_w->Label1[1]->text(), QStringLiteral("分類"));
        RegistrationPanel *p = m_w->Frame1;
        QCOMPARE(p->Label1[1]->geometry(),
                 QRect(Twips::toPixelsX(60), Twips::toPixelsY(60), Twips::toPixelsX(435),
                       Twips::toPixelsY(255)));
        QCOMPARE(p->Label1[0]->geometry(),
                 QRect(Twips::toPixelsX(1860), Twips::toPixelsY(375), Twips::toPixelsX(435),
                       Twips::toPixelsY(225)));
        QCOMPARE(p->cbGrp->x(), Twips::toPixelsX(555));
        QCOMPARE(p->cmSlc->geometry(),
                 QRect(Twips::toPixelsX(570), Twips::toPixelsY(315), Twips::toPixelsX(675),
                       Twips::toPixelsY(360)));
        QCOMPARE(p->txFind->x(), Twips::toPixelsX(3420));
    }

    void mainWindowMessages()
    {
        openWindow(Language::Choice::English);
        if (QTest::currentTestFailed())
            return;
        // A group without links: nothing to write into the document.
        m_w->cbGrp->setEditText(QStringLiteral("Empty"));
        m_w->LoadList(false);
        QCOMPARE(m_w->listRows(), 0);
        m_w->mnRet_Click(1);
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {QStringLiteral("There are no links to write")});
        Dialogs::clearShown();
        m_w->mnFile_Click(1);
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList {QStringLiteral("Compacted ") + Usr::sDataPh
                              + QStringLiteral("dbLink.mdb")});
    }

    void maintenanceWindow()
    {
        QVERIFY(Language::install(Language::Choice::English));
        openDatabase();
        if (QTest::currentTestFailed())
            return;
        fmData w;
        w.prepare(0, 15000, 0, 10000);
        QCOMPARE(w.windowTitle(), QStringLiteral("Maintenance"));
        QCOMPARE(w.mnFile->title(), QStringLiteral("&File"));
        QCOMPARE(w.mnGrp->title(), QStringLiteral("&Groups"));
        QCOMPARE(w.mnURL->title(), QStringLiteral("&Links"));
        QCOMPARE(w.mnURLItem[0]->text(), QStringLiteral("&Check for Dead Links"));
        QCOMPARE(header(w.vSpr[0], 3), QStringLiteral("Group"));
        QCOMPARE(header(w.vSpr[0], 4), QStringLiteral("Order"));
        QCOMPARE(header(w.vSpr[1], 2), QStringLiteral("No"));
        QCOMPARE(header(w.vSpr[1], 3), QStringLiteral("Title"));
        QCOMPARE(header(w.vSpr[1], 4), QStringLiteral("Group"));

        // Emptying the database asks in English; the group it leaves keeps its stored name.
        Dialogs::clearShown();
        Dialogs::setNextAnswer(true);
        Dialogs::setNextAnswer(false);
        w.InitDb();
        QCOMPARE(Dialogs::shownTexts(),
                 (QStringList {QStringLiteral("Delete every group and link?"),
                               QStringLiteral("Delete every page picture too?")}));
        const Sql::Rows groups = SqlSteps::rows(QStringLiteral("Select nGrp, sGrp From mGrp"));
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups.first().value(0).toInt(), 0);
        QCOMPARE(groups.first().value(1).toString(), QStringLiteral("未分類"));
    }

    void pictureSettings()
    {
        QVERIFY(Language::install(Language::Choice::English));
        sbUpc dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Picture Settings"));
        QCOMPARE(dialog.cmOk[0]->text(), QStringLiteral("&OK"));
        QCOMPARE(dialog.cmOk[1]->text(), QStringLiteral("&Cancel"));
        QVERIFY(dialog.Label1->text().startsWith(QStringLiteral("50%: 4 pictures fit")));
    }
};

QTEST_MAIN(TestEnglishWindow)
#include "tst_englishwindow.moc"
