#include "platform/MultipartForm.h"

#include <QTest>

// Forms as browsers and upload tools send them.
class TestMultipartForm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("parts"); // name=data|filename, or !error
        const auto row
            = [](const char *tag, const char *type, const QByteArray &body, const char *parts) {
                  QTest::newRow(tag) << QByteArray(type) << body << QString::fromUtf8(parts);
              };
        row("plain", "multipart/form-data; boundary=XY",
            "--XY\r\nContent-Disposition: form-data; name=url\r\n\r\nhttps://a/\r\n--XY--\r\n",
            "url=https://a/|");
        row("quoted", "Multipart/Form-Data; charset=utf-8; boundary=\"a b;c\"",
            "pre\r\n--a b;c\r\ncontent-disposition: form-data; name=\"fi\\\"le\"; "
            "filename=\"ペ.html\"\r\nContent-Type: text/html\r\n\r\n<p>\r\n\r\n--a b\r\n--a b;c--",
            "fi\"le=<p>\r\n\r\n--a b|ペ.html");
        row("two", "multipart/form-data; boundary=B",
            "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n\r\n--B  \r\n"
            "Content-Disposition: form-data; name=\"b\"\r\n\r\nx\r\n--B--",
            "a=| b=x|");
        row("no end", "multipart/form-data; boundary=B",
            "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx", "!");
        row("not a form", "application/json; boundary=B", "--B--", "!");
        row("50 MB", "multipart/form-data; boundary=B",
            "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"p.html\"\r\n\r\n"
                + QByteArray(50 << 20, '\r') + "\r\n--B--\r\n",
            "file=50M|p.html");
    }
    void read()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, body);
        MultipartForm form;
        const bool ok = form.read(body, MultipartForm::boundaryOf(type));
        QStringList got;
        for (const MultipartForm::Part &p : form.parts()) {
            const QString data = p.data.size() == 50 << 20 && p.data.count('\r') == p.data.size()
                ? QStringLiteral("50M")
                : QString::fromUtf8(p.data);
            got << QString::fromUtf8(p.name) + u'=' + data + u'|' + p.fileName;
        }
        QTEST(ok ? got.join(u' ') : QStringLiteral("!"), "parts");
        QCOMPARE(form.error().isEmpty(), ok);
    }
};

QTEST_GUILESS_MAIN(TestMultipartForm)
#include "tst_multipartform.moc"
