#include "pages/PageText.h"
#include "support/TestFiles.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

// The text of saved copies as browsers write them: one HTML part among pictures and styles.
class TestPageText : public QObject
{
    Q_OBJECT

    static QByteArray mhtml(const QByteArray &charset, const QByteArray &encoding,
                            const QString &html)
    {
        QStringEncoder enc(charset.isEmpty() ? "utf-8" : charset.constData());
        QByteArray body = enc(html);
        if (encoding == "base64") {
            body = body.toBase64();
        } else if (encoding == "quoted-printable") {
            QByteArray qp;
            for (const char c : std::as_const(body)) {
                if (c & 0x80 || c == '=')
                    qp += '=' + QByteArray(1, c).toHex().toUpper();
                else
                    qp += c;
                if (qp.size() % 70 == 0)
                    qp += "=\r\n"; // a soft line break
            }
            body = qp;
        }
        QByteArray type = "text/html";
        if (!charset.isEmpty())
            type += "; charset=\"" + charset + '"';
        return "From: <Saved by a browser>\r\nMIME-Version: 1.0\r\n"
               "Content-Type: multipart/related;\r\n\ttype=\"text/html\";\r\n"
               "\tboundary=\"----B\"\r\n\r\n"
               "------B\r\nContent-Type: text/css\r\n\r\np{color:red}\r\n"
               "------B\r\nContent-Type: "
            + type + "\r\nContent-Transfer-Encoding: " + encoding + "\r\n\r\n" + body
            + "\r\n------B\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: "
              "base64\r\n\r\niVBORw0KGgo=\r\n------B--\r\n";
    }

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        const QString page = QStringLiteral(
            "<html><head><title>東京の天気</title><style>.x{color:red}</style>"
            "<script>var hidden = '<p>秘密</p>';</script></head>"
            "<body><!-- 注釈 --><p>晴れ&amp;くもり&#x3042;&#12356; &lt;b&gt;</p>"
            "<div>一行目<br>二<b>行</b>目</div><noscript>無効</noscript></body></html>");
        const QString text = QStringLiteral("東京の天気 晴れ&くもりあい <b> 一行目 二行目");
        QTest::newRow("utf-8 quoted-printable") << mhtml("utf-8", "quoted-printable", page) << text;
        QTest::newRow("base64") << mhtml("utf-8", "base64", page) << text;
        QTest::newRow("Shift_JIS") << mhtml("Shift_JIS", "quoted-printable", page) << text;
        QTest::newRow("EUC-JP 8bit") << mhtml("EUC-JP", "8bit", page) << text;
        QTest::newRow("charset from the meta tag")
            << mhtml({}, "base64", QStringLiteral("<meta charset=\"utf-8\">") + page) << text;
        QTest::newRow("no HTML part")
            << QByteArray("Content-Type: text/plain\r\n\r\nhello") << QString();
    }
    void text()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("1.mhtml"));
        TestFiles::write(path, file);
        QString got, error;
        QCOMPARE(PageText::ofFile(path, &got, &error), !expected.isEmpty());
        QCOMPARE(got, expected);
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
