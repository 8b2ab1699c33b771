#include "XbelFile.h"

#include "address/Address.h"
#include "platform/TextFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QXmlStreamReader>

#include <cerrno>
#include <vector>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(BookmarkFile)
};

// "added" as XBEL writes it (ISO 8601), or as seconds or milliseconds since 1970.
qint64 secondsOf(const QString &value)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return 0;
    bool number = false;
    const qint64 n = v.toLongLong(&number);
    if (number)
        return BookmarkFile::secondsOf(n);
    const QDateTime at = QDateTime::fromString(v, Qt::ISODateWithMs);
    if (!at.isValid())
        return 0;
    return qMax<qint64>(0, at.toSecsSinceEpoch());
}

} // namespace

namespace XbelFile {

bool looksLikeXml(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    qsizetype i = 0;
    while (i < bytes.size()
           && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    const QByteArrayView head = bytes.sliced(i, qMin<qsizetype>(bytes.size() - i, 14));
    return head.startsWith("<?xml") || head.startsWith("<xbel")
        || QByteArray(head.data(), head.size()).toLower().startsWith("<!doctype xbel");
}

BookmarkFile parse(QByteArrayView bytes)
{
    BookmarkFile file;
    QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), bytes.size()));
    auto fail = [&](const QString &why) {
        BookmarkFile refused;
        refused.error = why;
        return refused;
    };
    auto notXbel
        = [&] { return fail(Tr::tr("XBEL のﾌｧｲﾙではありません (%1 行目)").arg(xml.lineNumber())); };
    std::vector<int> open; // the open folders; -1 the root
    std::vector<int> depth; // of each folder: 1 below the root
    int link = -1; // the bookmark being read
    bool root = false;
    int rootLinks = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty())
                return fail(Tr::tr("独自の実体を宣言した XBEL は読みません (%1 行目)")
                                .arg(xml.lineNumber()));
            if (xml.dtdName() != u"xbel")
                return notXbel();
            break;
        case QXmlStreamReader::StartElement: {
            const QStringView name = xml.name();
            if (!root) {
                if (name != u"xbel")
                    return notXbel();
                root = true;
                open.push_back(-1);
                break;
            }
            const int in = open.back();
            if (name == u"folder") {
                const int d = in < 0 ? 1 : depth[size_t(in)] + 1;
                if (d > BookmarkFile::kMaxDepth) {
                    ++file.joinedFolders;
                    open.push_back(in);
                    break;
                }
                open.push_back(int(file.folders.size()));
                file.folders.append({QString(), in, 0, 0, QString()});
                depth.push_back(d);
                if (in >= 0)
                    ++file.folders[in].folders;
            } else if (name == u"bookmark") {
                BookmarkLink l;
                l.address = xml.attributes().value(QLatin1String("href")).toString().trimmed();
                l.added = secondsOf(xml.attributes().value(QLatin1String("added")).toString());
                l.folder = in;
                if (l.address.isEmpty() || Address::hasControl(l.address)) {
                    file.skippedLines.append(int(xml.lineNumber()));
                    xml.skipCurrentElement();
                    break;
                }
                l.position = ++(in < 0 ? rootLinks : file.folders[in].links);
                l.order = int(file.links.size());
                link = l.order;
                file.links.append(std::move(l));
            } else if (name == u"title") {
                const QString text = Address::withoutControls(xml.readElementText());
                if (xml.hasError())
                    break;
                if (link >= 0)
                    file.links[link].title = text;
                else if (in >= 0 && file.folders[in].name.isEmpty())
                    file.folders[in].name = text;
            } else if (name == u"desc") {
                const QString text = xml.readElementText();
                if (xml.hasError())
                    break;
                if (link >= 0)
                    file.links[link].description = text;
            } else if (name == u"info") {
                // read on for the metadata inside
            } else if (name == u"metadata" && link >= 0
                       && xml.attributes().value(QLatin1String("owner"))
                           == QLatin1String(kTagsOwner)) {
                file.links[link].tags = Address::withoutControls(
                    xml.attributes().value(QLatin1String("tags")).toString());
                xml.skipCurrentElement();
            } else {
                // separator, alias, other metadata and what else a tool adds
                xml.skipCurrentElement();
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (xml.name() == u"bookmark")
                link = -1;
            else if (xml.name() == u"folder" && open.size() > 1)
                open.pop_back();
            break;
        default: break;
        }
    }
    if (xml.hasError())
        return fail(Tr::tr("XBEL として読めません (%1 行目): %2")
                        .arg(QString::number(xml.lineNumber()), xml.errorString()));
    if (!root)
        return notXbel();
    file.encoding = xml.documentEncoding().isEmpty() ? QStringLiteral("UTF-8")
                                                     : xml.documentEncoding().toString();
    for (qsizetype f = 0; f < file.folders.size(); ++f) {
        BookmarkFolder &folder = file.folders[f];
        if (folder.links > 0 || folder.folders == 0)
            folder.path = file.pathOf(int(f));
    }
    return file;
}

BookmarkFile read(const QString &path)
{
    QByteArray bytes;
    BookmarkFile file;
    switch (TextFile::readRegular(path, BookmarkFile::kMaxBytes, &bytes, &file.error)) {
    case TextFile::ReadResult::Read:
        return looksLikeXml(bytes) ? parse(bytes) : BookmarkFile::parse(bytes);
    case TextFile::ReadResult::Missing: file.error = TextFile::reasonOf(ENOENT); break;
    case TextFile::ReadResult::Failed: break;
    }
    return file;
}

} // namespace XbelFile
