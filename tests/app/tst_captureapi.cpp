#include "app/CaptureApi.h"
#include "pages/PageArchive.h"
#include "pages/PageImage.h"
#include "platform/DataFolder.h"
#include "platform/PagePicturer.h"
#include "search/TextPieces.h"
#include "store/LinkStore.h"
#include "store/Store.h"
#include "store/TextStore.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// Pictures as a red square, a little later, as the browser's would come.
struct LaterPicture : PagePicturer
{
    void take(const QString &, Done done) override
    {
        QTimer::singleShot(1, [done] { done(QImage(200, 200, QImage::Format_RGB32)); });
    }
};

// The receiver's answers on real request objects and a real collection: one link (100, group
// 技術) and its twin rule.
class TestCaptureApi : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;
    QString m_data;
    LaterPicture m_picture;
    QList<qint64> m_shown;

    Local::HttpAnswer ask(const QByteArray &method, const QByteArray &target,
                          const QByteArray &body = {}, const QByteArray &type = {})
    {
        const QList<QByteArray> parts = target.split('?');
        const Local::HttpRequest r {
            method, parts[0], parts.value(1), {{"content-type", type}}, body};
        const auto shown = [this](const LinkRecord &l, bool, bool) { m_shown << l.nURL; };
        CaptureApi api({m_data, nullptr, {}, shown, &m_picture, [] { return 50; }});
        std::optional<Local::HttpAnswer> answer;
        api.handle(r, [&](const Local::HttpAnswer &a) { answer = a; });
        [&] { QTRY_VERIFY(answer.has_value()); }();
        return answer.value_or(Local::HttpAnswer {0, {}});
    }
    static QByteArray form(const QList<QPair<QByteArray, QByteArray>> &fields)
    {
        QByteArray body = "preamble\r\n";
        for (const auto &[name, value] : fields)
            body += "--b-1\r\nContent-Disposition: form-data; name=\"" + name + '"'
                + (name == "file" ? "; filename=\"p.html\"\r\nContent-Type: text/html" : "")
                + "\r\n\r\n" + value + "\r\n";
        return body + "--b-1--\r\n";
    }

private Q_SLOTS:
    void initTestCase() { TextPieces::useEverywhere(); }
    void init()
    {
        m_data = m_tmp.path()
            + QStringLiteral("/%1%2/").arg(QTest::currentTestFunction(), QTest::currentDataTag());
        QVERIFY(QDir().mkpath(m_data + "Arc") && QDir().mkpath(m_data + "Pic"));
        QVERIFY(Store::OpenDb(m_data + QStringLiteral("dbLink.mdb")));
        QCOMPARE(LinkStore::importLinks({{1, "技術", 10}, {2, "技術/Qt", 20}},
                                        {{{100, "https://example.com/a", 1, "A", "", 5}, 1}}),
                 LinkStore::ImportResult::Written);
        m_shown.clear();
    }
    void cleanup() { Store::CloseDb(); }

    void answers_data()
    {
        for (const char *c : {"method", "target", "body", "status", "answer"})
            QTest::addColumn<QByteArray>(c);
        const auto row = [](const char *tag, const char *m, const char *t, const char *body,
                            const char *status, const char *answer) {
            // JSON written with ' for ".
            QTest::newRow(tag) << QByteArray(m) << QByteArray(t)
                               << QByteArray(body).replace('\'', '"') << QByteArray(status)
                               << QByteArray(answer).replace('\'', '"');
        };
        row("registered", "GET", "/api/links?url=HTTPS%3A%2F%2FEXAMPLE.com%2Fa", "", "200",
            "{'group':'技術','number':100,'registered':true,'title':'A','twin':null,'url':'https://"
            "example.com/a'}");
        row("twin", "GET", "/api/links?url=http://www.example.com/a/", "", "200",
            "{'registered':false,'twin':{'number':100,'title':'A','url':'https://example.com/a'}}");
        row("no url", "GET", "/api/links", "", "400", "url");
        row("groups", "GET", "/api/groups", "", "200", "{'groups':['技術','技術/Qt']}");
        row("new", "POST", "/api/links", "{'url':'https://b/','group':'新/下','sort':3}", "201",
            "{'number':101,'status':'new'}");
        row("corrected", "POST", "/api/links", "{'url':'https://example.com/a','title':''}", "200",
            "{'number':100,'status':'corrected'}");
        row("conflict", "POST", "/api/links", "{'url':'https://www.example.com/a'}", "409",
            "'twin':{'number':100,'title':'A','url':'https://example.com/a'}");
        row("twin add", "POST", "/api/links", "{'url':'https://www.example.com/a','twin':'add'}",
            "201", "{'number':101,'status':'new'}");
        row("bad json", "POST", "/api/links", "{url:", "400", "JSON");
        row("other path", "GET", "/api/nope", "", "404", "/api/nope");
        row("method", "DELETE", "/api/links", "", "405", "DELETE");
    }
    void answers()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, body);
        const Local::HttpAnswer a = ask(method, target, body);
        QTEST(QByteArray::number(a.status), "status");
        QFETCH(QByteArray, answer);
        QVERIFY2(a.body.contains(answer), a.body.constData());
        QCOMPARE(m_shown.size(), a.status == 201 || a.body.contains("corrected") ? 1 : 0);
    }

    // A page becomes a link with its copy, text and picture before the answer; 50 MB included.
    void pages_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("fields");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray page = "<html><head><title>Page &amp; more</title><link rel=\"canonical\" "
                                "href=\"https://c/p?a=1&amp;b=2\">"
                                "</head><body>Hello\r\n--b- world\r\n\r\n</body></html>";
        const auto row
            = [&](const char *tag, const QByteArray &file, const char *fields, const char *answer) {
                  QTest::newRow(tag) << file << QByteArray(fields) << QByteArray(answer);
              };
        row("new", page, "url=https://n/&group=新", "{'number':101,'status':'new'}");
        row("canonical", page, "", "{'number':101,'status':'new'}");
        row("overwrite", page, "url=https://example.com/a", "{'number':100,'status':'corrected'}");
        row("skip", page, "url=https://example.com/a&ifexists=skip",
            "{'number':100,'status':'skipped'}");
        row("50 MB", page + QByteArray(50 << 20, 'x'), "url=https://n/",
            "{'number':101,'status':'new'}");
        row("no url", "<p>x", "", "url");
    }
    void pages()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, fields);
        QList<QPair<QByteArray, QByteArray>> parts {{"file", page}};
        for (const QByteArray &f : fields.split('&'))
            if (!f.isEmpty())
                parts.append({f.left(f.indexOf('=')), f.mid(f.indexOf('=') + 1)});
        const Local::HttpAnswer a
            = ask("POST", "/api/pages", form(parts), "multipart/form-data; boundary=\"b-1\"");
        QFETCH(QByteArray, answer);
        QVERIFY2(a.body.contains(answer.replace('\'', '"')), a.body.constData());
        const qint64 n = a.body.contains("101") ? 101 : 100;
        const bool saved = a.status == 201 || a.body.contains("corrected");
        QCOMPARE(TestFiles::read(PageArchive::htmlFileFor(m_data, n)).endsWith(page), saved);
        QCOMPARE(QFile::exists(PageImage::fileFor(m_data, n)), saved);
        if (QTest::currentDataTag() == QByteArray("canonical"))
            QCOMPARE(PageArchive::addressOf(PageArchive::htmlFileFor(m_data, n)),
                     "https://c/p?a=1&b=2");
        // A new link takes the page's title; a corrected one keeps its own.
        QString title;
        LinkStore::forEachLink(
            0, [&](const auto &v) { title += v.nURL == n ? v.sNam.toByteArray() : QByteArray(); });
        QCOMPARE(title, QString::fromUtf8(n == 101 ? "Page & more" : "A"));
        std::vector<qint64> texts;
        QVERIFY(TextStore(DataFolder::textIndex(m_data)).numbers(texts));
        QCOMPARE(texts.size(), size_t(saved));
    }
};

QTEST_GUILESS_MAIN(TestCaptureApi)
#include "tst_captureapi.moc"
