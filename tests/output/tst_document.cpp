#include "output/Document.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "support/TestFiles.h"
#include "support/Zip.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const QString W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const QString R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const QString WP = "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
const QString A = "http://schemas.openxmlformats.org/drawingml/2006/main";

// A table cell, or the rest of the body: element counts ("w:tc"), attribute values in order
// ("w:tcW@w:w"; "link w:u@w:val" in a hyperlink), text per paragraph (w:br "\n", w:tab "\t").
struct Node
{
    QHash<QString, int> count;
    QHash<QString, QStringList> values;
    QStringList paragraphs;
    QString linkText;

    QString at(const QString &key) const { return values.value(key).value(0); }
    int number(const QString &key) const { return at(key).toInt(); }
    QSize size(const QString &e) const { return {number(e + "@cx"), number(e + "@cy")}; }
};

// A built document, unpacked and read back.
struct Doc
{
    QHash<QString, QByteArray> files;
    QHash<QString, QXmlStreamAttributes> rels; // of word/document.xml, by Id
    Node body;
    QList<QList<Node>> rows;
    QString error;

    QString rel(const QString &id, const char *key) const { return rels[id].value(key).toString(); }
};

Doc parse(const QByteArray &docx)
{
    Doc d;
    d.files = unzip(docx);
    QXmlStreamReader rels(d.files.value("word/_rels/document.xml.rels"));
    while (!rels.atEnd()) {
        if (rels.readNext() == QXmlStreamReader::StartElement && rels.name() == u"Relationship")
            d.rels.insert(rels.attributes().value("Id").toString(), rels.attributes());
    }

    // Names in a namespace the test does not know get "?:", so a wrong one shows.
    static const QHash<QString, QString> prefixes {{W, "w"}, {R, "r"}, {WP, "wp"}, {A, "a"}};
    const auto name = [](QStringView ns, QStringView local) {
        return ns.isEmpty() ? local.toString() : prefixes.value(ns.toString(), "?") + u':' + local;
    };
    QXmlStreamReader x(d.files.value("word/document.xml"));
    Node *node = &d.body;
    bool inLink = false;
    while (!x.atEnd()) {
        x.readNext();
        const QString key = name(x.namespaceUri(), x.name());
        if (x.isStartElement()) {
            const QString path = inLink ? "link " + key : key;
            ++node->count[path];
            for (const QXmlStreamAttribute &a : x.attributes())
                node->values[path + u'@' + name(a.namespaceUri(), a.name())]
                    << a.value().toString();
            inLink = inLink || key == "w:hyperlink";
            if (key == "w:tr")
                d.rows.append(QList<Node>());
            else if (key == "w:tc")
                node = &d.rows.last().emplaceBack();
            else if (key == "w:p")
                node->paragraphs << QString();
            else if (key == "w:br" || key == "w:tab")
                node->paragraphs.last() += key == "w:br" ? u'\n' : u'\t';
            else if (key == "w:t") {
                const QString text = x.readElementText();
                node->paragraphs.last() += text;
                node->linkText += inLink ? text : QString();
            }
        } else if (x.isEndElement()) {
            if (key == "w:tc")
                node = &d.body;
            inLink = inLink && key != "w:hyperlink";
        }
    }
    d.error = x.errorString();
    return d;
}

ListRow row(const QString &n, const QString &url, const QString &title, const QString &desc = {})
{
    return ListRow {n, url, "G", title, desc};
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_data; // data folder, ending in "/"

    void picture(const QString &number, int w, int h, const char *format = "JPG") const
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(qRgb(w % 256, h % 256, 90));
        QVERIFY(img.save(m_data + "Pic/" + number + ".jpg", format));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_data = m_dir.path() + "/usData/";
        QVERIFY(QDir().mkpath(m_data + "Pic") && QDir().mkpath(m_data + "Doc"));
        picture("100", 80, 60);
        picture("105", 120, 90);
        picture("200", 320, 223);
        picture("201", 200, 150);
        picture("301", 40, 30, "PNG");
        TestFiles::write(m_data + "Pic/300.jpg", "this is no picture");
        TestFiles::write(m_data + "Doc/list", "old");
    }

    void columnsAndPictureSize_data()
    {
        QTest::addColumn<int>("picSz");
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("first"); // width of the picture column in twips
        QTest::addColumn<QSize>("emu"); // picture size
        // 9525 EMU to the pixel; a picture wider than its cell (column less 2 × 108 twips,
        // 635 EMU to the twip) is shrunk to it, keeping its proportions.
        QTest::newRow("49 %, shrunk")
            << 49 << "200" << 2400 << QSize(2184 * 635, qRound(223.0 * 2184 * 635 / 320));
        QTest::newRow("50 %, fits") << 50 << "201" << 4513 << QSize(200 * 9525, 150 * 9525);
        QTest::newRow("75 %, shrunk")
            << 75 << "200" << 4513 << QSize(4297 * 635, qRound(223.0 * 4297 * 635 / 320));
    }
    void columnsAndPictureSize()
    {
        QFETCH(int, picSz);
        QFETCH(QString, number);
        QFETCH(int, first);
        QFETCH(QSize, emu);
        const QString second = QString::number(9026 - first); // the two fill the text width
        const Doc d = parse(Document::build({row(number, "https://a/", "A")}, m_data, picSz));
        QCOMPARE(d.body.at("w:tblLayout@w:type"), QString("fixed"));
        QCOMPARE(d.body.values.value("w:gridCol@w:w"),
                 QStringList({QString::number(first), second}));
        QCOMPARE(d.rows.value(0).size(), 2);
        const Node &pic = d.rows[0][0];
        QCOMPARE(pic.number("w:tcW@w:w"), first);
        QCOMPARE(d.rows[0][1].at("w:tcW@w:w"), second);
        QCOMPARE(pic.count.value("wp:inline"), 1);
        QCOMPARE(pic.size("wp:extent"), emu);
        QCOMPARE(pic.size("a:ext"), emu);
    }

    void rowsPicturesAndLinks()
    {
        const QList<ListRow> rows {
            row("100", "https://a.example/one", "First page", "plain"),
            // Unusable pictures leave the cell empty.
            row("999", "https://b.example/", "Missing file"),
            row("300", "https://c.example/", "Not a picture"),
            row("301", "https://d.example/", "Not a JPEG"),
            row("  ", "https://e.example/", "No number"),
            row("../Pic/100", "https://f.example/", "Not a number"),
            row(" 105 ", "https://g.example/two?x=1&y=2", "Any break", "a\r\nb\rc\nd"),
            row("100", "https://h.example/", "Same picture again"),
        };
        const Doc d = parse(Document::build(rows, m_data, 32));
        QVERIFY2(d.error.isEmpty(), qPrintable(d.error));
        QVERIFY(d.files.value("[Content_Types].xml")
                    .contains("<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"));
        QVERIFY(d.files.value("_rels/.rels").contains("Target=\"word/document.xml\""));
        QCOMPARE(d.body.count.value("w:tbl"), 1);
        QCOMPARE(d.rows.size(), rows.size());
        // Two pictures, one of them shown twice.
        QCOMPARE(QStringList(d.files.keys()).filter("word/media/").size(), 2);

        const QHash<QString, QSize> sizes {{"100", {80, 60}}, {"105", {120, 90}}}; // usable ones
        const QStringList descriptions {"plain", "", "", "", "", "", "a\nb\nc\nd", ""};
        QSet<int> ids;
        for (int i = 0; i < rows.size(); ++i) {
            const Node &left = d.rows[i][0];
            const Node &right = d.rows[i][1];
            const QString pic = rows[i].nURL.trimmed();
            QCOMPARE(left.count.value("wp:inline"), sizes.contains(pic) ? 1 : 0);
            QCOMPARE(left.paragraphs, QStringList({""}));
            if (sizes.contains(pic)) {
                const QString img = left.at("a:blip@r:embed");
                QCOMPARE(d.rel(img, "Type"), R + "/image");
                QVERIFY(d.rel(img, "Target").endsWith(".jpeg"));
                QCOMPARE(d.files.value("word/" + d.rel(img, "Target")),
                         TestFiles::read(m_data + "Pic/" + pic + ".jpg"));
                QCOMPARE(left.size("wp:extent"), sizes[pic] * 9525);
                const int id = left.number("wp:docPr@id");
                QVERIFY2(id > 0 && !ids.contains(id), "drawing ids are positive and unique");
                ids.insert(id);
            }
            const QString link = right.at("w:hyperlink@r:id");
            QCOMPARE(d.rel(link, "Type"), R + "/hyperlink");
            QCOMPARE(d.rel(link, "Target"), rows[i].sURL);
            QCOMPARE(d.rel(link, "TargetMode"), QString("External"));
            QCOMPARE(right.linkText, rows[i].sNam);
            QCOMPARE(right.at("link w:color@w:val"), QString("0000FF"));
            QCOMPARE(right.at("link w:u@w:val"), QString("single"));
            QCOMPARE(right.paragraphs, QStringList({rows[i].sNam, descriptions[i]}));
        }
    }

    // A link without a title shows its address; a script address is shown, never linked; text
    // that is no XML is left out, markup is text, and the address is a URI Word accepts.
    void linkTexts_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("desc");
        QTest::addColumn<QString>("linkText");
        QTest::addColumn<QString>("target"); // empty: not linked
        const auto row = [](const char *name, const QString &address, const QString &title,
                            const QString &desc, const QString &linkText, const QString &target) {
            QTest::newRow(name) << address << title << desc << linkText << target;
        };
        row("title", "https://a/", "A", "", "A", "https://a/");
        row("empty title", "https://a/", "", "", "https://a/", "https://a/");
        row("script", "javascript:alert(1)", "J", "", "", "");
        const char16_t bad[] = {u'x', 0x01, 0xFFFF, 0xDC00, u'y', 0};
        row("escaped", "https://例え.example/a b?q=日本&x=1",
            "Tom & Jerry <b>\"q\" 'a'</b> " + QString::fromUtf16(bad) + " 😀", "]]> & <x/>\tend",
            "Tom & Jerry <b>\"q\" 'a'</b> xy 😀",
            "https://xn--r8jz45g.example/a%20b?q=%E6%97%A5%E6%9C%AC&x=1");
    }
    void linkTexts()
    {
        QFETCH(QString, address);
        QFETCH(QString, title);
        QFETCH(QString, desc);
        QFETCH(QString, linkText);
        QFETCH(QString, target);
        const Doc d = parse(Document::build({row("100", address, title, desc)}, m_data, 32));
        QVERIFY2(d.error.isEmpty(), qPrintable(d.error));
        const Node &cell = d.rows[0][1];
        QCOMPARE(cell.linkText, linkText);
        QCOMPARE(cell.paragraphs, QStringList({linkText.isEmpty() ? title : linkText, desc}));
        QCOMPARE(cell.count.value("w:hyperlink"), target.isEmpty() ? 0 : 1);
        QCOMPARE(d.rel(cell.at("w:hyperlink@r:id"), "Target"), target);
    }

    void make_data()
    {
        QTest::addColumn<bool>("noRows");
        QTest::addColumn<int>("picSz");
        QTest::addColumn<QString>("answer"); // the file chosen under Doc/; empty: cancelled
        QTest::addColumn<bool>("written");
        QTest::addColumn<QStringList>("shown"); // how each box shown begins
        const QString save = "作成するDOC";
        const QString failed = "ﾌｧｲﾙ " + m_data + "Doc/missing/out.docx に書き込めません: ";
        // "list" exists and is typed without extension: it is replaced as it is.
        QTest::newRow("written") << false << 32 << "list" << true << QStringList {save};
        QTest::newRow("empty list")
            << true << 32 << "never.docx" << false << QStringList {"出力するﾘﾝｸがありません"};
        QTest::newRow("images off") << false << -1 << "never.docx" << false << QStringList {};
        QTest::newRow("cancelled") << false << 75 << "" << false << QStringList {save};
        QTest::newRow("failing write")
            << false << 32 << "missing/out.docx" << false << QStringList {save, failed};
    }
    void make()
    {
        QFETCH(bool, noRows);
        QFETCH(int, picSz);
        QFETCH(QString, answer);
        QFETCH(bool, written);
        QFETCH(QStringList, shown);
        Dialogs::enableTestMode();
        Shell::enableTestMode();
        const QString path = m_data + "Doc/" + answer;
        const QStringList before = QDir(m_data + "Doc").entryList(QDir::Files);
        Dialogs::setNextFileName(answer.isEmpty() ? QString() : path);
        const QList<ListRow> rows {row("100", "https://a/", "a", "b")};
        QCOMPARE(Document::make(noRows ? QList<ListRow>() : rows, "News", m_data, picSz), written);
        const QList<Dialogs::Shown> boxes = Dialogs::shown();
        QCOMPARE(boxes.size(), shown.size());
        for (int i = 0; i < boxes.size(); ++i) {
            QVERIFY2(boxes[i].text.startsWith(shown[i]), qPrintable(boxes[i].text));
            const bool asked = i == 0 && !noRows; // the save box, proposing the group's name
            QCOMPARE(boxes[i].kind, asked ? Dialogs::Shown::SaveFile : Dialogs::Shown::Message);
            QVERIFY(!asked
                    || boxes[i].save.folder + '/' + boxes[i].save.fileName
                        == m_data + "Doc/News.docx");
        }
        QCOMPARE(QDir(m_data + "Doc").entryList(QDir::Files), before);
        QCOMPARE(Shell::calls().size(), written ? 1 : 0);
        if (written) {
            QCOMPARE(parse(TestFiles::read(path)).rows.size(), 1);
            QCOMPARE(Shell::calls()[0].verb + ' ' + Shell::calls()[0].target, "open " + path);
        } else {
            QVERIFY(answer.isEmpty() || !QFile::exists(path));
        }
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
