#pragma once

#include "app/Usr.h"
#include "platform/Dialogs.h"
#include "settings/yIni.h"
#include "store/Store.h"
#include "support/FakeBrowser.h"
#include "ui/main/LinkListView.h"
#include "ui/main/RegistrationPanel.h"
#include "ui/main/SearchBox.h"
#include "ui/main/fmLink.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

// The main window over a real database in a fresh temporary data folder, with a fake browser.
struct MainWindowFixture
{
    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<yIni> ini;
    std::unique_ptr<fmLink> w;
    FakeBrowser *web = nullptr;

    // A fresh data folder with its sub-folders and the link database open for the test's rows.
    void openDatabase()
    {
        close();
        tmp = std::make_unique<QTemporaryDir>();
        Usr::sDataPh = tmp->path() + u'/';
        for (const char *sub : {"Pic", "Arc", "Doc"})
            QVERIFY(QDir().mkpath(Usr::sDataPh + QLatin1String(sub)));
        QVERIFY(Store::OpenDb(Usr::sDataPh + QStringLiteral("dbLink.mdb")));
    }

    // The window over the database as the test left it; before runs ahead of the load. Unless
    // told not to, it waits for what the window reads in the background.
    void openWindow(const std::function<void(fmLink &)> &before = {}, bool wait = true)
    {
        Store::CloseDb();
        ini = std::make_unique<yIni>();
        bool ok = false;
        ini->GetTxt(Usr::sDataPh + QStringLiteral("User.xml"), ok);
        ini->GetGtx(QStringLiteral("画面"));
        Usr::Ini = ini.get();
        w = std::make_unique<fmLink>([this](QWidget *p) { return web = new FakeBrowser(p); });
        if (before)
            before(*w);
        QString error;
        QVERIFY2(w->Form_Load(&error), qPrintable(error));
        if (wait)
            settle(*w);
        Dialogs::clearShown();
    }

    // Waits for what the window reads in the background after it shows (the list, the search).
    static void settle(fmLink &window)
    {
        if (auto *search = window.findChild<SearchBox *>())
            search->ensureBuilt();
        QCoreApplication::sendPostedEvents();
    }

    // Another window over the same folder, as the next start opens it; null when it fails.
    static std::unique_ptr<fmLink> another()
    {
        auto other = std::make_unique<fmLink>([](QWidget *p) { return new FakeBrowser(p); });
        QString error;
        if (!other->Form_Load(&error))
            return nullptr;
        settle(*other);
        return other;
    }

    // The window's controls, by their names.
    template<typename T> T *find(const char *name) const
    {
        T *found = w->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    LinkListView *list() const { return find<LinkListView>("vSpr"); }
    RegistrationPanel *panel() const { return find<RegistrationPanel>("Frame1"); }
    QComboBox *group() const { return find<QComboBox>("cbGrp"); }
    QLineEdit *sort() const { return find<QLineEdit>("txSrt"); }
    QPlainTextEdit *memo() const { return find<QPlainTextEdit>("txMem"); }
    QPushButton *button(int i) const
    {
        return find<QPushButton>(QStringLiteral("cmWeb_%1").arg(i).toLatin1().constData());
    }

    void close()
    {
        w.reset();
        Store::CloseDb();
        Usr::Ini = nullptr;
        ini.reset();
    }
};
