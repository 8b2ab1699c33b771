#include "settings/CaptureSettings.h"
#include "settings/yIni.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The receiver's settings as User.xml holds them, written by hand or by the program.
class TestCaptureSettings : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_count = 0;

    // The settings file's group "画面" as a fresh run reads it.
    static void open(yIni &ini, const QString &file)
    {
        bool ok = false;
        ini.GetTxt(file, ok);
        QVERIFY(ok);
        ini.GetGtx(QStringLiteral("画面"));
    }

private Q_SLOTS:
    void settings_data()
    {
        QTest::addColumn<QStringList>("written"); // key, value, key, value...
        QTest::addColumn<QString>("token"); // empty: one is made
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("on");
        QTest::newRow("nothing written") << QStringList() << QString() << 48620 << true;
        QTest::newRow("by hand") << QStringList {"CAPTURE_TOKEN", " my-own.token ", "CAPTURE_PORT",
                                                 "50123",         "CAPTURE_ON",     "0"}
                                 << "my-own.token" << 50123 << false;
        QTest::newRow("no port number") << QStringList {"CAPTURE_PORT", "http", "CAPTURE_ON", "1"}
                                        << QString() << 48620 << true;
        QTest::newRow("port out of range")
            << QStringList {"CAPTURE_PORT", "65536"} << QString() << 48620 << true;
    }
    void settings()
    {
        QFETCH(QStringList, written);
        QFETCH(QString, token);
        QFETCH(int, port);
        QFETCH(bool, on);
        const QString file = m_dir.filePath(QStringLiteral("User%1.xml").arg(++m_count));
        {
            yIni ini;
            open(ini, file);
            for (qsizetype i = 0; i + 1 < written.size(); i += 2)
                ini.SetVal(written[i], written[i + 1]);
            bool ok = false;
            ini.SetGtx();
            ini.SetTxt(ok);
            QVERIFY(ok);
        }
        yIni ini;
        open(ini, file);
        QCOMPARE(CaptureSettings::port(ini), port);
        QCOMPARE(CaptureSettings::isOn(ini), on);
        QString error;
        const QString first = CaptureSettings::token(ini, &error);
        QVERIFY(error.isEmpty());
        if (!token.isEmpty()) {
            QCOMPARE(first, token);
            return;
        }
        // At least 128 random bits, fit for a header, and in the file before anything else
        // is saved; a renewed one replaces it there.
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{43}$")).match(first).hasMatch());
        const auto inFile = [&file] {
            yIni again;
            open(again, file);
            return CaptureSettings::token(again);
        };
        QCOMPARE(inFile(), first);
        const QString renewed = CaptureSettings::renewToken(ini);
        QVERIFY(renewed != first);
        QCOMPARE(inFile(), renewed);
    }
};

QTEST_GUILESS_MAIN(TestCaptureSettings)
#include "tst_capturesettings.moc"
