#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A multipart/form-data body as browsers and upload tools send it: its fields by name, a
// file's bytes as they came (CR LF inside them included).
class MultipartForm
{
public:
    struct Part
    {
        QByteArray name;
        QString fileName; // empty for a plain field
        QByteArray contentType;
        QByteArray data;
    };

    // The boundary a Content-Type header names ("multipart/form-data; boundary=..."), quoted or
    // not; empty when it is no form.
    static QByteArray boundaryOf(const QByteArray &contentType);

    // Reads the whole body; false with error() when it is not one whole form.
    bool read(const QByteArray &body, const QByteArray &boundary);

    const QList<Part> &parts() const { return m_parts; }
    // The first part of that name, or none.
    const Part *part(const QByteArray &name) const;
    // A plain field's text (UTF-8); empty when it is missing.
    QString text(const QByteArray &name) const;
    QString error() const { return m_error; }

private:
    bool fail(const QString &why);

    QList<Part> m_parts;
    QString m_error;
};
