#include "Document.h"
#include "platform/DataFolder.h"

#include "address/Address.h"

#include "output/OutputFile.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/TextFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QUrl>

#include <zip.h>

#include <list>
#include <memory>
#include <vector>

namespace Document {
namespace {

constexpr char16_t kMainNs[] = u"http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr char16_t kRelNs[]
    = u"http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char16_t kPackageRelNs[]
    = u"http://schemas.openxmlformats.org/package/2006/relationships";

bool validInXml(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
        || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Escapes for element text and for attribute values alike; drops what XML 1.0 cannot hold.
void appendXml(QString &out, QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        switch (c) {
        case u'&': out += u"&amp;"; continue;
        case u'<': out += u"&lt;"; continue;
        case u'>': out += u"&gt;"; continue;
        case u'"': out += u"&quot;"; continue;
        case u'\'': out += u"&apos;"; continue;
        default: break;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n
            && QChar::isLowSurrogate(text[i + 1].unicode())) {
            out += text[i];
            out += text[i + 1];
            ++i;
            continue;
        }
        if (!QChar::isSurrogate(c) && validInXml(c))
            out += QChar(c);
    }
}

QString xml(QStringView text)
{
    QString s;
    s.reserve(text.size());
    appendXml(s, text);
    return s;
}

// One run for the text: line breaks (CR LF, CR or LF) become w:br, tabs w:tab.
void appendRun(QString &out, QStringView text, QStringView runProperties)
{
    if (text.isEmpty())
        return;
    out += u"<w:r>";
    out += runProperties;
    qsizetype start = 0;
    auto piece = [&](qsizetype end) {
        if (end > start) {
            out += u"<w:t xml:space=\"preserve\">";
            appendXml(out, text.mid(start, end - start));
            out += u"</w:t>";
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            piece(i);
            out += u"<w:br/>";
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        } else if (c == u'\t') {
            piece(i);
            out += u"<w:tab/>";
            start = i + 1;
        }
    }
    piece(text.size());
    out += u"</w:r>";
}

struct Picture
{
    QByteArray bytes;
    qint64 cx = 0; // EMU
    qint64 cy = 0;
    bool ok = false;
};

Picture readPicture(const QString &path)
{
    Picture p;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return p;
    p.bytes = f.readAll();
    QBuffer buf(&p.bytes);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf);
    const QSize size = reader.size();
    // The part is declared image/jpeg, so only a JPEG may go in.
    if (reader.format() != "jpeg" || !size.isValid() || size.isEmpty())
        return Picture();
    p.cx = qint64(size.width()) * kEmuPerPixel;
    p.cy = qint64(size.height()) * kEmuPerPixel;
    p.ok = true;
    return p;
}

struct Relationship
{
    QString id;
    QString type;
    QString target;
    bool external = false;
};

class ZipWriter
{
public:
    ZipWriter()
    {
        zip_error_init(&m_error);
        m_source = zip_source_buffer_create(nullptr, 0, 0, &m_error);
        if (!m_source)
            return;
        m_zip = zip_open_from_source(m_source, ZIP_TRUNCATE, &m_error);
        if (!m_zip) {
            zip_source_free(m_source);
            m_source = nullptr;
            return;
        }
        zip_source_keep(m_source); // read back after zip_close
    }
    ~ZipWriter()
    {
        if (m_zip)
            zip_discard(m_zip);
        if (m_source)
            zip_source_free(m_source);
        zip_error_fini(&m_error);
    }
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    bool ok() const { return m_zip && m_reason.isEmpty(); }
    QString reason() const
    {
        if (!m_reason.isEmpty())
            return m_reason;
        return QString::fromLocal8Bit(zip_error_strerror(&m_error));
    }

    // The bytes must stay alive until finish().
    void add(const char *name, const QByteArray &bytes, bool compress)
    {
        if (!ok())
            return;
        zip_source_t *s
            = zip_source_buffer(m_zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!s) {
            fail();
            return;
        }
        const zip_int64_t index = zip_file_add(m_zip, name, s, ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(s);
            fail();
            return;
        }
        if (zip_set_file_compression(m_zip, zip_uint64_t(index),
                                     compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0)
            != 0)
            fail();
    }

    QByteArray finish()
    {
        if (!ok())
            return QByteArray();
        if (zip_close(m_zip) != 0) {
            fail();
            return QByteArray();
        }
        m_zip = nullptr;
        QByteArray out;
        if (zip_source_open(m_source) != 0) {
            m_reason = QString::fromLocal8Bit(zip_error_strerror(zip_source_error(m_source)));
            return QByteArray();
        }
        zip_source_seek(m_source, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(m_source);
        zip_source_seek(m_source, 0, SEEK_SET);
        if (size > 0) {
            out.resize(qsizetype(size));
            if (zip_source_read(m_source, out.data(), zip_uint64_t(size)) != size) {
                m_reason = QString::fromLocal8Bit(zip_error_strerror(zip_source_error(m_source)));
                out.clear();
            }
        }
        zip_source_close(m_source);
        return out;
    }

private:
    void fail()
    {
        if (m_reason.isEmpty())
            m_reason = QString::fromLocal8Bit(zip_strerror(m_zip));
    }

    mutable zip_error_t m_error; // zip_error_strerror takes it non-const
    zip_source_t *m_source = nullptr;
    zip_t *m_zip = nullptr;
    QString m_reason;
};

const QByteArray kContentTypes = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"
    "<Override PartName=\"/word/document.xml\" "
    "ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
    "</Types>");

const QByteArray kPackageRels = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"word/document.xml\"/>"
    "</Relationships>");

const QString kImageType
    = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/image");
const QString kHyperlinkType = QStringLiteral(
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink");

void appendCellStart(QString &out, int width)
{
    out += u"<w:tc><w:tcPr><w:tcW w:w=\"" + QString::number(width)
        + u"\" w:type=\"dxa\"/></w:tcPr>";
}

void appendDrawing(QString &out, int id, const QString &rId, const QString &name, qint64 cx,
                   qint64 cy)
{
    const QString ext = u"cx=\"" + QString::number(cx) + u"\" cy=\"" + QString::number(cy) + u'"';
    const QString ids = u"id=\"" + QString::number(id) + u"\" name=\"" + xml(name) + u'"';
    out += u"<w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\">"
           u"<wp:extent "
        + ext
        + u"/><wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/>"
          u"<wp:docPr "
        + ids
        + u"/><wp:cNvGraphicFramePr><a:graphicFrameLocks noChangeAspect=\"1\"/>"
          u"</wp:cNvGraphicFramePr>"
          u"<a:graphic><a:graphicData "
          u"uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
          u"<pic:pic><pic:nvPicPr><pic:cNvPr "
        + ids
        + u"/><pic:cNvPicPr/></pic:nvPicPr>"
          u"<pic:blipFill><a:blip r:embed=\""
        + rId
        + u"\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>"
          u"<pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext "
        + ext
        + u"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
          u"</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
}

// Page images are named after the link number; anything else in the column names no picture.
bool isLinkNumber(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

Columns columnWidths(int iPicSz)
{
    if (iPicSz < 50)
        return {kNarrowFirstColumn, kTextWidth - kNarrowFirstColumn};
    return {kTextWidth / 2, kTextWidth - kTextWidth / 2};
}

QString picturePath(const QString &dataPh, const QString &nURL)
{
    return DataFolder::picture(dataPh, nURL);
}

QByteArray build(const QList<ListRow> &rows, const QString &dataPh, int iPicSz, QString *error)
{
    const Columns cols = columnWidths(iPicSz);
    // A picture wider than its cell is shrunk to the cell, keeping its proportions.
    const qint64 maxCx = qint64(cols.first - 2 * kCellMargin) * kEmuPerTwip;

    std::vector<Relationship> rels;
    std::list<QByteArray> media; // stable addresses for the zip sources
    std::vector<std::pair<QByteArray, const QByteArray *>> mediaParts;
    struct MediaRef
    {
        QString rId; // empty: no usable picture in that file
        qint64 cx = 0;
        qint64 cy = 0;
    };
    QHash<QString, MediaRef> mediaOfPath;
    auto newId = [&]() -> QString { return u"rId" + QString::number(rels.size() + 1); };

    QString doc;
    doc.reserve(2000 + rows.size() * 2400);
    doc += u"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
           u"<w:document xmlns:w=\"";
    doc += kMainNs;
    doc += u"\" xmlns:r=\"";
    doc += kRelNs;
    doc += u"\" xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\""
           u" xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
           u" xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
           u"<w:body>";

    if (!rows.isEmpty()) {
        doc += u"<w:tbl><w:tblPr><w:tblW w:w=\"" + QString::number(kTextWidth)
            + u"\" w:type=\"dxa\"/><w:tblBorders>";
        for (const char16_t *side :
             {u"top", u"left", u"bottom", u"right", u"insideH", u"insideV"}) {
            doc += u"<w:";
            doc += side;
            doc += u" w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"auto\"/>";
        }
        doc += u"</w:tblBorders><w:tblLayout w:type=\"fixed\"/><w:tblCellMar>"
               u"<w:left w:w=\""
            + QString::number(kCellMargin) + u"\" w:type=\"dxa\"/><w:right w:w=\""
            + QString::number(kCellMargin)
            + u"\" w:type=\"dxa\"/></w:tblCellMar>"
              u"<w:tblLook w:val=\"0000\"/></w:tblPr>"
              u"<w:tblGrid><w:gridCol w:w=\""
            + QString::number(cols.first) + u"\"/><w:gridCol w:w=\"" + QString::number(cols.second)
            + u"\"/></w:tblGrid>";

        int drawingId = 0;
        for (const ListRow &r : rows) {
            doc += u"<w:tr>";

            appendCellStart(doc, cols.first);
            doc += u"<w:p>";
            const QString number = r.nURL.trimmed();
            if (isLinkNumber(number)) {
                const QString path = picturePath(dataPh, number);
                auto known = mediaOfPath.constFind(path);
                if (known == mediaOfPath.constEnd()) {
                    Picture pic = readPicture(path);
                    MediaRef ref;
                    if (pic.ok) {
                        ref.rId = newId();
                        const QString target
                            = u"media/image" + QString::number(media.size() + 1) + u".jpeg";
                        rels.push_back({ref.rId, kImageType, target, false});
                        media.push_back(std::move(pic.bytes));
                        mediaParts.push_back({(u"word/" + target).toUtf8(), &media.back()});
                        ref.cx = pic.cx;
                        ref.cy = pic.cy;
                    }
                    known = mediaOfPath.insert(path, ref);
                }
                if (!known->rId.isEmpty()) {
                    qint64 cx = known->cx, cy = known->cy;
                    if (cx > maxCx) {
                        cy = qMax<qint64>(1, qRound64(double(cy) * double(maxCx) / double(cx)));
                        cx = maxCx;
                    }
                    ++drawingId;
                    appendDrawing(doc, drawingId, known->rId, number + u".jpg", cx, cy);
                }
            }
            doc += u"</w:p></w:tc>";

            appendCellStart(doc, cols.second);
            doc += u"<w:p>";
            const QString shown = r.sNam.isEmpty() ? r.sURL : r.sNam;
            const QUrl url(r.sURL, QUrl::TolerantMode);
            const QStringView linkStyle = u"<w:rPr><w:color w:val=\"0000FF\"/>"
                                          u"<w:u w:val=\"single\"/></w:rPr>";
            // A script address is text, never a link the reader could click.
            if (!r.sURL.isEmpty() && url.isValid() && Address::isOpenable(r.sURL)) {
                const QString linkId = newId();
                rels.push_back(
                    {linkId, kHyperlinkType, QString::fromLatin1(url.toEncoded()), true});
                doc += u"<w:hyperlink r:id=\"" + linkId + u"\" w:history=\"1\">";
                appendRun(doc, shown, linkStyle);
                doc += u"</w:hyperlink>";
            } else {
                appendRun(doc, shown, {});
            }
            doc += u"</w:p><w:p>";
            appendRun(doc, r.sMem, {});
            doc += u"</w:p></w:tc></w:tr>";
        }
        doc += u"</w:tbl>";
    }
    // A table may not end the body: a paragraph follows it.
    doc += u"<w:p/><w:sectPr><w:pgSz w:w=\"" + QString::number(kPageWidth) + u"\" w:h=\""
        + QString::number(kPageHeight) + u"\"/><w:pgMar w:top=\"" + QString::number(kMargin)
        + u"\" w:right=\"" + QString::number(kMargin) + u"\" w:bottom=\"" + QString::number(kMargin)
        + u"\" w:left=\"" + QString::number(kMargin)
        + u"\" w:header=\"708\" w:footer=\"708\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>";

    QString relsXml = u"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                      u"<Relationships xmlns=\""
        + QString::fromUtf16(kPackageRelNs) + u"\">";
    for (const Relationship &rel : rels) {
        relsXml += u"<Relationship Id=\"" + rel.id + u"\" Type=\"" + rel.type + u"\" Target=\"";
        appendXml(relsXml, rel.target);
        relsXml += rel.external ? u"\" TargetMode=\"External\"/>" : u"\"/>";
    }
    relsXml += u"</Relationships>";

    const QByteArray docBytes = doc.toUtf8();
    const QByteArray relsBytes = relsXml.toUtf8();
    ZipWriter zip;
    zip.add("[Content_Types].xml", kContentTypes, true);
    zip.add("_rels/.rels", kPackageRels, true);
    zip.add("word/document.xml", docBytes, true);
    zip.add("word/_rels/document.xml.rels", relsBytes, true);
    for (const auto &[name, bytes] : mediaParts)
        zip.add(name.constData(), *bytes, false); // JPEG does not shrink further
    QByteArray out = zip.finish();
    if (out.isEmpty() && error)
        *error = zip.reason();
    return out;
}

bool make(const QList<ListRow> &rows, const QString &groupText, const QString &dataPh, int iPicSz)
{
    if (iPicSz < 0)
        return false;
    if (rows.isEmpty()) {
        Dialogs::message(QCoreApplication::translate("Document", "出力するﾘﾝｸがありません"));
        return false;
    }
    const QString path = OutputFile::AskFile(false, groupText, dataPh);
    if (path.isEmpty())
        return false;
    QString reason;
    const QByteArray bytes = build(rows, dataPh, iPicSz, &reason);
    if (bytes.isEmpty()) {
        Dialogs::message(TextFile::writeFailedText(path, reason));
        return false;
    }
    if (!OutputFile::SaveBytes(path, bytes))
        return false;
    Shell::open(path);
    return true;
}

} // namespace Document
