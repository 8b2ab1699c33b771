#include "platform/Shell.h"
#include "platform/widgets/Grid.h"
#include "settings/Language.h"
#include "store/Statements.h"
#include "support/SqlLines.h"
#include "support/widgets/MainWindowFixture.h"
#include "ui/main/LinkListView.h"
#include "ui/main/RegistrationPanel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

namespace {

QString header(Grid *g, int col)
{
    return g->model()->headerData(col - 1, Qt::Horizontal, Qt::DisplayRole).toString();
}

bool hasJapanese(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; });
}

} // namespace

// The windows under the English translation, offscreen, over a real database: what a person
// whose desktop is not Japanese sees.
class TestEnglishWindow : public QObject
{
    Q_OBJECT
private:
    MainWindowFixture m;

    // A fresh data folder with one group holding one link and one empty group.
    void openDatabase(Language::Choice language)
    {
        QVERIFY(Language::install(language));
        m.openDatabase();
        SqlSteps::exec(Sql::kInsertGroup, {1, QStringLiteral("Held"), 1});
        SqlSteps::exec(Sql::kInsertGroup, {2, QStringLiteral("Empty"), 2});
        SqlSteps::exec(
            Sql::kInsertLink,
            {100, QStringLiteral("http://held.example/"), 1, QStringLiteral("held"), QString(), 1});
    }
    void openWindow(Language::Choice language)
    {
        openDatabase(language);
        if (!QTest::currentTestFailed())
            m.openWindow();
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
        m.close();
        Language::install(Language::Choice::Japanese);
    }

    void mainWindow()
    {
        openWindow(Language::Choice::English);
        QVERIFY(m.w);
        QCOMPARE(m.w->menus().mnJob[MnJob::File]->title(), "&File");
        QCOMPARE(m.w->menus().mnData[MnData::Register]->text(), "&Add Link");
        // The shown key follows the translated text.
        QCOMPARE(m.w->menus().mnDisp[MnDisp::Search]->text(), "Go to &Search Page\tF11");
        // Every item of the bar, the panel and the list is English.
        for (QMenu *menu : m.w->menus().mnJob) {
            QVERIFY2(!hasJapanese(menu->title()), qPrintable(menu->title()));
            for (const QAction *a : menu->actions())
                QVERIFY2(!hasJapanese(a->text()), qPrintable(a->text()));
        }
        const auto p = [this](const char *name) { return m.panel()->findChild<QWidget *>(name); };
        const auto text = [&p](const char *name) { return p(name)->property("text").toString(); };
        for (const QString &text :
             {text("Label1_0"), text("Label1_1"), text("Label1_2"), text("lbFind"), text("cmSlc"),
              text("cmWeb_0"), p("cmWeb_1")->toolTip(), header(m.list(), int(LinkList::GroupName)),
              header(m.list(), int(LinkList::Title)), header(m.list(), int(LinkList::Description))})
            QVERIFY2(!text.isEmpty() && !hasJapanese(text), qPrintable(text));
        QCOMPARE(text("Label1_1"), "Group");
        // Longer English captions get their room in the designed block.
        checkFits({p("Label1_1"), p("cbGrp"), p("lbFind"), p("txFind")});
        checkFits({p("cmSlc"), p("Label1_0"), p("txSrt"), p("lbSim")});
    }
};

QTEST_MAIN(TestEnglishWindow)
#include "tst_englishwindow.moc"
