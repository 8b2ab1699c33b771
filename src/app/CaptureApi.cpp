#include "CaptureApi.h"

#include "pages/PageArchive.h"
#include "pages/PageImage.h"
#include "platform/MultipartForm.h"
#include "platform/PagePicturer.h"
#include "store/GroupTree.h"
#include "store/LinkStore.h"

#include "collection/GroupFolders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QUrlQuery>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(CaptureApi)
};

Local::HttpAnswer json(int status, const QJsonObject &body)
{
    return {status, QJsonDocument(body).toJson(QJsonDocument::Compact)};
}

Local::HttpAnswer failure(int status, const QString &message)
{
    return json(status, {{QStringLiteral("error"), message}});
}

QJsonObject twinJson(const AddLink::Twin &t)
{
    return {{QStringLiteral("number"), t.nURL},
            {QStringLiteral("url"), t.url},
            {QStringLiteral("title"), t.title}};
}

// The name of the group a link is in; empty for group 0 and for a group without a row.
QString groupName(qint64 nGrp)
{
    if (nGrp == 0)
        return {};
    QString name;
    LinkStore::forEachGroup([&](const LinkStore::GroupView &g) {
        if (g.nGrp == nGrp)
            name = QString::fromUtf8(g.sGrp);
    });
    return name;
}

// The text of the page's <title>, its entities decoded.
QString titleOf(const QByteArray &html)
{
    static const QRegularExpression title(QStringLiteral("<title[^>]*>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = title.match(QString::fromUtf8(html.left(256 * 1024)));
    return m.hasMatch() ? QTextDocumentFragment::fromHtml(m.captured(1)).toPlainText() : QString();
}

} // namespace

CaptureApi::CaptureApi(Hooks hooks)
    : m_hooks(std::move(hooks))
{
}

void CaptureApi::handle(const Local::HttpRequest &request, Reply reply)
{
    const QByteArray &path = request.path;
    const QByteArray &method = request.method;
    if (path == "/api/links") {
        if (method == "GET")
            reply(getLink(request));
        else if (method == "POST")
            reply(postLink(request));
        else
            reply(failure(405, Tr::tr("%1 は使えません").arg(QString::fromLatin1(method))));
    } else if (path == "/api/groups") {
        reply(method == "GET"
                  ? getGroups()
                  : failure(405, Tr::tr("%1 は使えません").arg(QString::fromLatin1(method))));
    } else if (path == "/api/pages") {
        if (method == "POST")
            postPage(request, std::move(reply));
        else
            reply(failure(405, Tr::tr("%1 は使えません").arg(QString::fromLatin1(method))));
    } else {
        reply(failure(404, Tr::tr("%1 はありません").arg(QString::fromUtf8(path))));
    }
}

Local::HttpAnswer CaptureApi::getLink(const Local::HttpRequest &request)
{
    const QUrlQuery query(QString::fromUtf8(request.query));
    const QString url = query.queryItemValue(QStringLiteral("url"), QUrl::FullyDecoded).trimmed();
    if (url.isEmpty())
        return failure(400, Tr::tr("%1 がありません").arg(QStringLiteral("url")));
    std::optional<LinkRecord> link;
    QString error;
    if (!AddLink::registered(url, link, &error))
        return failure(500, error);
    if (link) {
        return json(200,
                    {{QStringLiteral("registered"), true},
                     {QStringLiteral("number"), link->nURL},
                     {QStringLiteral("group"), groupName(link->nGrp)},
                     {QStringLiteral("title"), link->sNam},
                     {QStringLiteral("url"), link->sURL},
                     {QStringLiteral("twin"), QJsonValue::Null}});
    }
    const std::vector<AddLink::Twin> twins
        = m_hooks.twins ? m_hooks.twins(url) : AddLink::twinsInStore(url);
    return json(200,
                {{QStringLiteral("registered"), false},
                 {QStringLiteral("twin"),
                  twins.empty() ? QJsonValue(QJsonValue::Null) : twinJson(twins.front())}});
}

Local::HttpAnswer CaptureApi::getGroups()
{
    GroupTree tree;
    QString error;
    if (!GroupFolders::load(tree, &error))
        return failure(500, error);
    QJsonArray paths;
    for (const GroupTree::Node &n : tree.nodes())
        paths.append(n.path);
    return json(200, {{QStringLiteral("groups"), paths}});
}

Local::HttpAnswer CaptureApi::postLink(const Local::HttpRequest &request)
{
    QJsonParseError parsed;
    const QJsonDocument doc = QJsonDocument::fromJson(request.body, &parsed);
    if (parsed.error != QJsonParseError::NoError || !doc.isObject())
        return failure(400,
                       Tr::tr("JSON が読めません: %1")
                           .arg(parsed.error != QJsonParseError::NoError
                                    ? parsed.errorString()
                                    : Tr::tr("ｵﾌﾞｼﾞｪｸﾄではありません")));
    const QJsonObject o = doc.object();
    AddLink::Request r;
    const std::pair<const char *, QString *> texts[] = {
        {"url", &r.url}, {"title", &r.title}, {"description", &r.description}, {"group", &r.group}};
    for (const auto &[name, field] : texts) {
        const QJsonValue v = o.value(QLatin1String(name));
        if (v.isUndefined() || v.isNull())
            continue;
        if (!v.isString())
            return failure(400, Tr::tr("%1 は文字列で指定してください").arg(QLatin1String(name)));
        *field = v.toString();
    }
    if (r.url.trimmed().isEmpty())
        return failure(400, Tr::tr("%1 がありません").arg(QStringLiteral("url")));
    const QJsonValue sort = o.value(QStringLiteral("sort"));
    if (sort.isDouble()) {
        r.sort = sort.toDouble();
    } else if (!sort.isUndefined() && !sort.isNull()) {
        return failure(400, Tr::tr("%1 は数値で指定してください").arg(QStringLiteral("sort")));
    }
    const QJsonValue twin = o.value(QStringLiteral("twin"));
    if (!twin.isUndefined() && !twin.isNull() && twin != QStringLiteral("add"))
        return failure(400,
                       Tr::tr("%1 の値 %2 は使えません")
                           .arg(QStringLiteral("twin"), twin.toVariant().toString()));
    r.addTwin = twin == QStringLiteral("add");
    AddLink add(m_hooks.dataPh, m_hooks.index, m_hooks.twins);
    return answerOf(add.run(r, QDateTime::currentSecsSinceEpoch()));
}

Local::HttpAnswer CaptureApi::answerOf(const AddLink::Outcome &out)
{
    using S = AddLink::Status;
    const auto status = [&](int code, const char *word) {
        return json(code,
                    {{QStringLiteral("number"), out.link.nURL},
                     {QStringLiteral("status"), QLatin1String(word)}});
    };
    switch (out.status) {
    case S::New:
    case S::Corrected:
        if (m_hooks.changed)
            m_hooks.changed(out.link, out.status == S::New, out.groupsMade);
        // A page whose copy could not be kept is registered all the same: the answer says so.
        if (!out.error.isEmpty())
            return json(
                500,
                {{QStringLiteral("error"), out.error}, {QStringLiteral("number"), out.link.nURL}});
        return out.status == S::New ? status(201, "new") : status(200, "corrected");
    case S::Skipped: return status(200, "skipped");
    case S::Twin:
        return json(409,
                    {{QStringLiteral("error"),
                      Tr::tr("「%1」(%2) と同じﾍﾟｰｼﾞのようです")
                          .arg(out.twin.title, QString::number(out.twin.nURL))},
                     {QStringLiteral("twin"), twinJson(out.twin)}});
    case S::BadInput: return failure(400, out.error);
    case S::Failed: break;
    }
    return failure(500, out.error);
}

QString CaptureApi::addressInPage(const QByteArray &html)
{
    // The head is enough; a page's size does not matter here.
    const QString head = QString::fromUtf8(html.left(256 * 1024));
    static const QRegularExpression savedFrom(
        QStringLiteral(R"re(<!--\s*saved from url=(?:\(\d+\))?(\S+?)\s*-->)re"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression singleFile(QStringLiteral(R"re(<!--[^>]*?\n\s*url:\s*(\S+))re"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression canonical(
        QStringLiteral(R"re(<link\b[^>]*\brel\s*=\s*["']?canonical\b[^>]*>)re"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(
        QStringLiteral(R"re(\bhref\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QRegularExpression *re : {&savedFrom, &singleFile}) {
        const QRegularExpressionMatch m = re->match(head);
        if (m.hasMatch())
            return m.captured(1);
    }
    const QRegularExpressionMatch link = canonical.match(head);
    if (link.hasMatch()) {
        const QRegularExpressionMatch h = href.match(link.captured(0));
        if (h.hasMatch()) {
            QString address = h.captured(1) + h.captured(2) + h.captured(3);
            return address.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        }
    }
    return {};
}

void CaptureApi::postPage(const Local::HttpRequest &request, Reply reply)
{
    MultipartForm form;
    const QByteArray boundary = MultipartForm::boundaryOf(request.header("content-type"));
    if (boundary.isEmpty())
        return reply(failure(400, Tr::tr("multipart/form-data で送ってください")));
    if (!form.read(request.body, boundary))
        return reply(failure(400, form.error()));
    const MultipartForm::Part *file = form.part("file");
    if (!file || file->data.isEmpty())
        return reply(failure(400, Tr::tr("%1 がありません").arg(QStringLiteral("file"))));
    AddLink::Request r;
    r.url = form.text("url").trimmed();
    if (r.url.isEmpty())
        r.url = addressInPage(file->data).trimmed();
    if (r.url.isEmpty())
        return reply(failure(400, Tr::tr("%1 がありません").arg(QStringLiteral("url"))));
    r.title = form.text("title");
    r.description = form.text("description");
    r.group = form.text("group");
    const QString ifexists = form.text("ifexists").trimmed();
    if (!ifexists.isEmpty() && ifexists != u"overwrite" && ifexists != u"skip")
        return reply(failure(
            400, Tr::tr("%1 の値 %2 は使えません").arg(QStringLiteral("ifexists"), ifexists)));
    r.skipRegistered = ifexists == u"skip";
    const QString twin = form.text("twin").trimmed();
    if (!twin.isEmpty() && twin != u"add")
        return reply(
            failure(400, Tr::tr("%1 の値 %2 は使えません").arg(QStringLiteral("twin"), twin)));
    r.addTwin = twin == u"add";
    r.page = file->data;
    r.pageTitle = titleOf(file->data);

    AddLink add(m_hooks.dataPh, m_hooks.index, m_hooks.twins);
    const AddLink::Outcome out = add.run(r, QDateTime::currentSecsSinceEpoch());
    const Local::HttpAnswer answer = answerOf(out);
    const bool saved
        = out.status == AddLink::Status::New || out.status == AddLink::Status::Corrected;
    const int size = m_hooks.pictureSize ? m_hooks.pictureSize() : -1;
    if (!saved || !out.error.isEmpty() || !m_hooks.picturer || PageImage::scaleFor(size) == 0.0f)
        return reply(answer);
    // The answer waits for the picture: once it comes, the page is whole in the collection.
    const QString dataPh = m_hooks.dataPh;
    const qint64 n = out.link.nURL;
    m_hooks.picturer->take(PageArchive::htmlFileFor(dataPh, n),
                           [reply, answer, dataPh, n, size](const QImage &picture) {
                               const QImage done = picture.isNull()
                                   ? QImage()
                                   : PageImage::process(picture, size);
                               // The link may have gone while its page was pictured.
                               std::optional<QString> still;
                               if (!done.isNull() && LinkStore::addressOf(n, still) && still)
                                   PageImage::writeJpeg(done, PageImage::fileFor(dataPh, n));
                               reply(answer);
                           });
}
