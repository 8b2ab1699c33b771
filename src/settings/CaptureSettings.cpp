#include "CaptureSettings.h"

#include "settings/yIni.h"

#include <QByteArray>
#include <QRandomGenerator>

namespace {

const QString kOn = QStringLiteral("CAPTURE_ON");
const QString kPort = QStringLiteral("CAPTURE_PORT");
const QString kToken = QStringLiteral("CAPTURE_TOKEN");

bool write(yIni &ini, QString *error)
{
    bool ok = false;
    ini.SetGtx();
    ini.SetTxt(ok, error);
    return ok;
}

} // namespace

namespace CaptureSettings {

bool isOn(yIni &ini)
{
    return ini.vGtVal(kOn, 1).toInt() != 0;
}

quint16 port(yIni &ini)
{
    bool ok = false;
    const int p = ini.vGtVal(kPort, QString()).toString().trimmed().toInt(&ok);
    return ok && p > 0 && p <= 65535 ? quint16(p) : kDefaultPort;
}

QString token(yIni &ini, QString *error)
{
    const QString given = ini.vGtVal(kToken, QString()).toString().trimmed();
    return given.isEmpty() ? renewToken(ini, error) : given;
}

QString renewToken(yIni &ini, QString *error)
{
    const QString t = newToken();
    ini.SetVal(kToken, t);
    write(ini, error);
    return t;
}

bool save(yIni &ini, bool on, quint16 port, QString *error)
{
    ini.SetVal(kOn, on ? 1 : 0);
    ini.SetVal(kPort, int(port));
    return write(ini, error);
}

QString newToken()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(words), sizeof words)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace CaptureSettings
