#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <zip.h>

// The entries of a zip file held in memory (a document); empty when it is no zip.
inline QHash<QString, QByteArray> unzip(const QByteArray &bytes)
{
    QHash<QString, QByteArray> out;
    zip_source_t *src = zip_source_buffer_create(bytes.constData(), bytes.size(), 0, nullptr);
    zip_t *za = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
    for (zip_int64_t i = 0; za && i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        QByteArray data(qsizetype(st.size), Qt::Uninitialized);
        if (zip_file_t *f = zip_fopen_index(za, zip_uint64_t(i), 0)) {
            zip_fread(f, data.data(), st.size);
            zip_fclose(f);
        }
        out.insert(QString::fromUtf8(st.name), data);
    }
    if (za)
        zip_close(za);
    else
        zip_source_free(src);
    return out;
}
