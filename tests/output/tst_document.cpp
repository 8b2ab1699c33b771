#include "output/Document.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <zip.h>

Q_DECLARE_METATYPE(ListRow)

namespace {

const QString W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const QString R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const QString WP = "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
const QString A = "http://schemas.openxmlformats.org/drawingml/2006/main";
const QString HyperlinkType
    = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";
const QString ImageType
    = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";

// The entries of a zip file held in memory.
QHash<QString, QByteArray> unzip(const QByteArray &bytes)
{
    QHash<QString, QByteArray> out;
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *src = zip_source_buffer_create(bytes.constData(), bytes.size(), 0, &err);
    zip_t *za = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &err) : nullptr;
    if (!za) {
        if (src)
            zip_source_free(src);
        zip_error_fini(&err);
        return out;
    }
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        zip_file_t *f = zip_fopen_index(za, zip_uint64_t(i), 0);
        QByteArray data(qsizetype(st.size), Qt::Uninitialized);
        if (f) {
            zip_fread(f, data.data(), st.size);
            zip_fclose(f);
        }
        out.insert(QString::fromUtf8(st.name), data);
    }
    zip_close(za);
    zip_error_fini(&err);
    return out;
}

struct Rel
{
    QString type, target, mode;
};

QHash<QString, Rel> readRels(const QByteArray &xml)
{
    QHash<QString, Rel> rels;
    QXmlStreamReader x(xml);
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == u"Relationship") {
            const auto a = x.attributes();
            rels.insert(a.value("Id").toString(),
                        {a.value("Type").toString(), a.value("Target").toString(),
                         a.value("TargetMode").toString()});
        }
    }
    return rels;
}

struct Cell
{
    int width = 0;
    QStringList paragraphs; // text with w:br as "\n", w:tab as "\t"
    QString embed; // r:embed of the drawing
    qint64 cx = 0, cy = 0, extCx = 0, extCy = 0;
    int drawings = 0;
    int docPrId = -1;
    QString linkId;
    QString linkText;
    QString linkColor;
    QString linkUnderline;
};

struct Doc
{
    QString layout;
    QList<int> grid;
    QList<QList<Cell>> rows;
    int tables = 0;
    QString error;
};

Doc readDocument(const QByteArray &xml)
{
    Doc d;
    QXmlStreamReader x(xml);
    Cell *cell = nullptr;
    bool inLink = false;
    bool inText = false;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement()) {
            const auto a = x.attributes();
            const QStringView n = x.name();
            if (x.namespaceUri() == W) {
                if (n == u"tbl")
                    ++d.tables;
                else if (n == u"tblLayout")
                    d.layout = a.value(W, "type").toString();
                else if (n == u"gridCol")
                    d.grid << a.value(W, "w").toInt();
                else if (n == u"tr")
                    d.rows.append(QList<Cell>());
                else if (n == u"tc") {
                    d.rows.last().append(Cell());
                    cell = &d.rows.last().last();
                } else if (n == u"tcW" && cell)
                    cell->width = a.value(W, "w").toInt();
                else if (n == u"p" && cell)
                    cell->paragraphs << QString();
                else if (n == u"br" && cell)
                    cell->paragraphs.last() += u'\n';
                else if (n == u"tab" && cell)
                    cell->paragraphs.last() += u'\t';
                else if (n == u"t")
                    inText = true;
                else if (n == u"hyperlink" && cell) {
                    inLink = true;
                    cell->linkId = a.value(R, "id").toString();
                } else if (n == u"color" && inLink)
                    cell->linkColor = a.value(W, "val").toString();
                else if (n == u"u" && inLink)
                    cell->linkUnderline = a.value(W, "val").toString();
            } else if (cell && x.namespaceUri() == WP) {
                if (n == u"inline")
                    ++cell->drawings;
                else if (n == u"extent") {
                    cell->cx = a.value("cx").toLongLong();
                    cell->cy = a.value("cy").toLongLong();
                } else if (n == u"docPr")
                    cell->docPrId = a.value("id").toInt();
            } else if (cell && x.namespaceUri() == A) {
                if (n == u"blip")
                    cell->embed = a.value(R, "embed").toString();
                else if (n == u"ext") {
                    cell->extCx = a.value("cx").toLongLong();
                    cell->extCy = a.value("cy").toLongLong();
                }
            }
        } else if (x.isEndElement() && x.namespaceUri() == W) {
            if (x.name() == u"tc")
                cell = nullptr;
            else if (x.name() == u"hyperlink")
                inLink = false;
            else if (x.name() == u"t")
                inText = false;
        } else if (x.isCharacters() && inText && cell) {
            cell->paragraphs.last() += x.text();
            if (inLink)
                cell->linkText += x.text();
        }
    }
    if (x.hasError())
        d.error = x.errorString();
    return d;
}

QByteArray jpeg(int w, int h, QRgb color)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    for (int y = 0; y < h; y += 7)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x % 256, y % 256, 40));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", 75);
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ListRow row(const QString &n, const QString &url, const QString &title, const QString &desc)
{
    return ListRow {n, url, "G", title, desc};
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_data; // data folder, ending in "/"

private Q_SLOTS:
    void initTestCase()
    {
        Dialogs::enableTestMode();
        Shell::enableTestMode();
        QVERIFY(m_dir.isValid());
        m_data = m_dir.path() + "/usData/";
        QVERIFY(QDir().mkpath(m_data + "Pic"));
        QVERIFY(QDir().mkpath(m_data + "Doc"));
        writeFile(m_data + "Pic/100.jpg", jpeg(80, 60, qRgb(200, 0, 0)));
        writeFile(m_data + "Pic/105.jpg", jpeg(120, 90, qRgb(0, 200, 0)));
        writeFile(m_data + "Pic/200.jpg", jpeg(320, 223, qRgb(0, 0, 200)));
        writeFile(m_data + "Pic/201.jpg", jpeg(200, 150, qRgb(50, 50, 50)));
        writeFile(m_data + "Pic/300.jpg", "this is no picture");
        QImage png(40, 30, QImage::Format_RGB32);
        png.fill(Qt::white);
        QVERIFY(png.save(m_data + "Pic/301.jpg", "PNG"));
    }
    void init()
    {
        Dialogs::enableTestMode();
        Shell::enableTestMode();
    }

    void columnWidths_data();
    void columnWidths();
    void rowsPicturesAndLinks();
    void pictureSize_data();
    void pictureSize();
    void unusablePictures_data();
    void unusablePictures();
    void samePictureTwice();
    void textIsEscaped();
    void makeWritesAndOpens();
    void makeEmptyList();
    void makeImagesOff();
    void makeCancelled();
    void makeFailingWrite();
};

void TestDocument::columnWidths_data()
{
    QTest::addColumn<int>("picSz");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("32 %") << 32 << 2400 << 6626;
    QTest::newRow("49 %") << 49 << 2400 << 6626;
    QTest::newRow("50 %") << 50 << 4513 << 4513;
    QTest::newRow("75 %") << 75 << 4513 << 4513;
}

void TestDocument::columnWidths()
{
    QFETCH(int, picSz);
    QFETCH(int, first);
    QFETCH(int, second);
    const QByteArray bytes
        = Document::build({row("100", "https://a.example/", "A", "")}, m_data, picSz);
    const Doc d = readDocument(unzip(bytes).value("word/document.xml"));
    QVERIFY2(d.error.isEmpty(), qPrintable(d.error));
    QCOMPARE(d.layout, QString("fixed"));
    QCOMPARE(d.grid, QList<int>({first, second}));
    QCOMPARE(d.rows.size(), 1);
    QCOMPARE(d.rows[0].size(), 2);
    QCOMPARE(d.rows[0][0].width, first);
    QCOMPARE(d.rows[0][1].width, second);
}

void TestDocument::rowsPicturesAndLinks()
{
    const QList<ListRow> rows {
        row("100", "https://a.example/one", "First page", "plain"),
        row(" 105 ", "https://b.example/two?x=1&y=2", "Second", "a\r\nb\rc\nd"),
        row("110", "https://c.example/", "No picture", ""),
    };
    const QByteArray bytes = Document::build(rows, m_data, 32);
    const QHash<QString, QByteArray> parts = unzip(bytes);
    QVERIFY(parts.contains("[Content_Types].xml"));
    QVERIFY(parts.contains("_rels/.rels"));
    QVERIFY(parts.value("[Content_Types].xml")
                .contains("<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"));
    QVERIFY(parts.value("_rels/.rels").contains("Target=\"word/document.xml\""));

    const Doc d = readDocument(parts.value("word/document.xml"));
    QVERIFY2(d.error.isEmpty(), qPrintable(d.error));
    const QHash<QString, Rel> rels = readRels(parts.value("word/_rels/document.xml.rels"));
    QCOMPARE(d.tables, 1);
    QCOMPARE(d.rows.size(), 3);

    const QStringList pics {"100", "105", ""};
    const QList<QSize> sizes {{80, 60}, {120, 90}, {}};
    QSet<int> ids;
    for (int i = 0; i < 3; ++i) {
        const Cell &left = d.rows[i][0];
        const Cell &right = d.rows[i][1];
        if (pics[i].isEmpty()) {
            QCOMPARE(left.drawings, 0);
            QCOMPARE(left.paragraphs, QStringList({""}));
        } else {
            QCOMPARE(left.drawings, 1);
            const Rel img = rels.value(left.embed);
            QCOMPARE(img.type, ImageType);
            QVERIFY(img.target.endsWith(".jpeg"));
            QCOMPARE(parts.value("word/" + img.target),
                     readFile(m_data + "Pic/" + pics[i] + ".jpg"));
            QCOMPARE(left.cx, qint64(sizes[i].width()) * 9525);
            QCOMPARE(left.cy, qint64(sizes[i].height()) * 9525);
            QCOMPARE(left.extCx, left.cx);
            QCOMPARE(left.extCy, left.cy);
            QVERIFY(left.docPrId > 0);
            QVERIFY2(!ids.contains(left.docPrId), "drawing ids repeat");
            ids.insert(left.docPrId);
        }
        const Rel link = rels.value(right.linkId);
        QCOMPARE(link.type, HyperlinkType);
        QCOMPARE(link.target, rows[i].sURL);
        QCOMPARE(link.mode, QString("External"));
        QCOMPARE(right.linkText, rows[i].sNam);
        QCOMPARE(right.linkColor, QString("0000FF"));
        QCOMPARE(right.linkUnderline, QString("single"));
        QCOMPARE(right.paragraphs.size(), 2);
        QCOMPARE(right.paragraphs[0], rows[i].sNam);
    }
    QCOMPARE(d.rows[0][1].paragraphs[1], QString("plain"));
    QCOMPARE(d.rows[1][1].paragraphs[1], QString("a\nb\nc\nd"));
    QCOMPARE(d.rows[2][1].paragraphs[1], QString());
}

void TestDocument::pictureSize_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("picSz");
    QTest::addColumn<qint64>("cx");
    QTest::addColumn<qint64>("cy");
    // A cell leaves 108 twips on either side; 635 EMU to the twip.
    QTest::newRow("fits the wide column")
        << "201" << 50 << qint64(200 * 9525) << qint64(150 * 9525);
    QTest::newRow("fits the narrow column")
        << "105" << 32 << qint64(120 * 9525) << qint64(90 * 9525);
    QTest::newRow("shrunk to the narrow column")
        << "200" << 32 << qint64(2184 * 635) << qint64(qRound64(223.0 * 2184 * 635 / 320));
    QTest::newRow("shrunk to the wide column")
        << "200" << 75 << qint64(4297 * 635) << qint64(qRound64(223.0 * 4297 * 635 / 320));
}

void TestDocument::pictureSize()
{
    QFETCH(QString, number);
    QFETCH(int, picSz);
    QFETCH(qint64, cx);
    QFETCH(qint64, cy);
    const Doc d
        = readDocument(unzip(Document::build({row(number, "https://a/", "t", "")}, m_data, picSz))
                           .value("word/document.xml"));
    QCOMPARE(d.rows.size(), 1);
    QCOMPARE(d.rows[0][0].drawings, 1);
    QCOMPARE(d.rows[0][0].cx, cx);
    QCOMPARE(d.rows[0][0].cy, cy);
}

void TestDocument::unusablePictures_data()
{
    QTest::addColumn<QString>("number");
    QTest::newRow("missing file") << "999";
    QTest::newRow("not a picture") << "300";
    QTest::newRow("not a JPEG") << "301";
    QTest::newRow("empty number") << "  ";
    QTest::newRow("not a number") << "../Pic/100";
}

void TestDocument::unusablePictures()
{
    QFETCH(QString, number);
    const QList<ListRow> rows {row(number, "https://a/", "t", "d"),
                               row("100", "https://b/", "u", "")};
    const QHash<QString, QByteArray> parts = unzip(Document::build(rows, m_data, 32));
    const Doc d = readDocument(parts.value("word/document.xml"));
    QCOMPARE(d.rows.size(), 2);
    QCOMPARE(d.rows[0][0].drawings, 0);
    QCOMPARE(d.rows[0][0].paragraphs, QStringList({""}));
    QCOMPARE(d.rows[0][1].linkText, QString("t"));
    QCOMPARE(d.rows[1][0].drawings, 1);
    int media = 0;
    for (auto it = parts.begin(); it != parts.end(); ++it)
        media += it.key().startsWith("word/media/");
    QCOMPARE(media, 1);
}

void TestDocument::samePictureTwice()
{
    const QList<ListRow> rows {row("100", "https://a/", "a", ""), row("105", "https://b/", "b", ""),
                               row("100", "https://c/", "c", "")};
    const QHash<QString, QByteArray> parts = unzip(Document::build(rows, m_data, 50));
    const Doc d = readDocument(parts.value("word/document.xml"));
    const QHash<QString, Rel> rels = readRels(parts.value("word/_rels/document.xml.rels"));
    QCOMPARE(d.rows.size(), 3);
    QCOMPARE(parts.value("word/" + rels.value(d.rows[2][0].embed).target),
             readFile(m_data + "Pic/100.jpg"));
    QCOMPARE(QSet<int>({d.rows[0][0].docPrId, d.rows[1][0].docPrId, d.rows[2][0].docPrId}).size(),
             3);
}

void TestDocument::textIsEscaped()
{
    const char16_t bad[] = {u'x', 0x01, 0xFFFF, 0xDC00, u'y', 0};
    const QString title = "Tom & Jerry <b>\"q\" 'a'</b> " + QString::fromUtf16(bad) + " 😀";
    const QString address = "https://例え.example/a b?q=日本&x=1";
    const QList<ListRow> rows {row("100", address, title, "]]> & <x/>\tend")};
    const QHash<QString, QByteArray> parts = unzip(Document::build(rows, m_data, 32));
    const Doc d = readDocument(parts.value("word/document.xml"));
    QVERIFY2(d.error.isEmpty(), qPrintable(d.error));
    const QHash<QString, Rel> rels = readRels(parts.value("word/_rels/document.xml.rels"));
    QCOMPARE(d.rows[0][1].linkText, QString("Tom & Jerry <b>\"q\" 'a'</b> xy 😀"));
    QCOMPARE(d.rows[0][1].paragraphs[1], QString("]]> & <x/>\tend"));
    // The address is stored as a URI the word processor accepts.
    QCOMPARE(rels.value(d.rows[0][1].linkId).target,
             QString("https://xn--r8jz45g.example/a%20b?q=%E6%97%A5%E6%9C%AC&x=1"));
}

void TestDocument::makeWritesAndOpens()
{
    const QString path = m_data + "Doc/list"; // typed without extension
    writeFile(path, "old");
    Dialogs::setNextFileName(path);
    const QList<ListRow> rows {row("100", "https://a/", "a", "b")};
    QVERIFY(Document::make(rows, "News", m_data, 32));
    const QList<Dialogs::Shown> shown = Dialogs::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, QString("作成するDOC"));
    QCOMPARE(shown[0].save.fileName, QString("News.docx"));
    QCOMPARE(shown[0].save.folder, m_data + "Doc");
    QVERIFY(readFile(path) != "old");
    QCOMPARE(readDocument(unzip(readFile(path)).value("word/document.xml")).rows.size(), 1);
    QVERIFY(!QFile::exists(path + ".docx"));
    const QList<Shell::Call> calls = Shell::calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].verb, QString("open"));
    QCOMPARE(calls[0].target, path);
}

void TestDocument::makeEmptyList()
{
    Dialogs::setNextFileName(m_data + "Doc/never.docx");
    QVERIFY(!Document::make({}, "*", m_data, 32));
    QCOMPARE(Dialogs::shownTexts(), QStringList({"出力するﾘﾝｸがありません"}));
    QCOMPARE(Dialogs::shown()[0].kind, Dialogs::Shown::Message);
    QVERIFY(!QFile::exists(m_data + "Doc/never.docx"));
    QVERIFY(Shell::calls().isEmpty());
}

void TestDocument::makeImagesOff()
{
    Dialogs::setNextFileName(m_data + "Doc/never.docx");
    QVERIFY(!Document::make({row("100", "https://a/", "a", "")}, "*", m_data, -1));
    QVERIFY(Dialogs::shown().isEmpty());
    QVERIFY(Shell::calls().isEmpty());
    QVERIFY(!QFile::exists(m_data + "Doc/never.docx"));
}

void TestDocument::makeCancelled()
{
    const QStringList before = QDir(m_data + "Doc").entryList(QDir::Files);
    QVERIFY(!Document::make({row("100", "https://a/", "a", "")}, "*", m_data, 75));
    QCOMPARE(Dialogs::shown().size(), 1);
    QCOMPARE(Dialogs::shown()[0].save.fileName, QString("Portal.docx"));
    QCOMPARE(QDir(m_data + "Doc").entryList(QDir::Files), before);
    QVERIFY(Shell::calls().isEmpty());
}

void TestDocument::makeFailingWrite()
{
    const QString path = m_data + "Doc/missing/out.docx";
    Dialogs::setNextFileName(path);
    QVERIFY(!Document::make({row("100", "https://a/", "a", "")}, "*", m_data, 32));
    const QList<Dialogs::Shown> shown = Dialogs::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[1].kind, Dialogs::Shown::Message);
    QVERIFY(shown[1].text.contains(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(Shell::calls().isEmpty());
}

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
