#include "Receiver.h"

#include "platform/Dialogs.h"
#include "settings/CaptureSettings.h"

namespace {

// Stands in while the program has nothing to answer with.
class Unready : public Local::HttpHandler
{
public:
    void handle(const Local::HttpRequest &, Reply reply) override
    {
        reply(HttpReader::error(503, Receiver::tr("まだ受け付けられません")));
    }
};

} // namespace

Receiver::Receiver(std::unique_ptr<Local::HttpHandler> handler, QObject *parent)
    : QObject(parent)
    , m_handler(handler ? std::move(handler) : std::make_unique<Unready>())
    , m_server(*m_handler)
{
    m_server.setRoutes(routes());
}

Receiver::~Receiver()
{
    // The connections go before the handler they answer through.
    m_server.stop();
}

QList<HttpReader::Route> Receiver::routes()
{
    return {{"/api/pages", {"POST"}}, {"/api/links", {"GET", "POST"}}, {"/api/groups", {"GET"}}};
}

QString Receiver::address(quint16 port)
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void Receiver::start(yIni &ini)
{
    stop();
    if (!CaptureSettings::isOn(ini))
        return;
    QString error;
    const QString token = CaptureSettings::token(ini, &error);
    if (!error.isEmpty())
        Dialogs::message(tr("ﾌﾞﾗｳｻﾞから登録のﾄｰｸﾝを保存できません: %1").arg(error));
    if (!m_server.start(CaptureSettings::port(ini), token.toUtf8(), &m_failure))
        Dialogs::message(tr("ﾌﾞﾗｳｻﾞからの登録を受け付けられません。%1").arg(m_failure));
}

void Receiver::stop()
{
    m_server.stop();
    m_failure.clear();
}
