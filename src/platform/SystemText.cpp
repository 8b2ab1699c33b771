#include "SystemText.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

namespace SystemText {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(SystemText)
};

} // namespace

QString reason(int errnum)
{
    switch (errnum) {
    case ENOENT: return Tr::tr("ﾌｧｲﾙまたはﾌｫﾙﾀﾞがありません");
    case EACCES:
    case EPERM: return Tr::tr("ｱｸｾｽが許可されていません");
    case ENOSPC: return Tr::tr("ﾃﾞｨｽｸに空きがありません");
    case EDQUOT: return Tr::tr("ﾃﾞｨｽｸの使用量の上限を超えました");
    case EROFS: return Tr::tr("読み取り専用のﾌｧｲﾙｼｽﾃﾑです");
    case EEXIST: return Tr::tr("同じ名前のものがあります");
    case ENOTDIR: return Tr::tr("ﾌｫﾙﾀﾞではありません");
    case EISDIR: return Tr::tr("ﾌｫﾙﾀﾞです");
    case EIO: return Tr::tr("入出力ｴﾗｰです");
    case ENAMETOOLONG: return Tr::tr("名前が長すぎます");
    case EMFILE:
    case ENFILE: return Tr::tr("開いているﾌｧｲﾙが多すぎます");
    default: return QString::fromLocal8Bit(std::strerror(errnum));
    }
}

QString Translator::translate(const char *context, const char *sourceText, const char *, int) const
{
    const QByteArrayView c(context);
    const QByteArrayView s(sourceText);
    if (c == "QIODevice") {
        for (const int e : {ENOENT, EACCES, ENOSPC, EMFILE}) {
            if (s == std::strerror(e) || (e == EACCES && s == "Permission denied")
                || (e == ENOENT && s == "No such file or directory")
                || (e == ENOSPC && s == "No space left on device")
                || (e == EMFILE && s == "Too many open files"))
                return reason(e);
        }
    } else if (c == "QCommandLineParser") {
        if (s == "Unknown option '%1'.")
            return Tr::tr("ｵﾌﾟｼｮﾝ '%1' はありません");
        if (s == "Unknown options: %1.")
            return Tr::tr("ｵﾌﾟｼｮﾝ %1 はありません");
        if (s == "Missing value after '%1'.")
            return Tr::tr("'%1' の後に値がありません");
        if (s == "Unexpected value after '%1'.")
            return Tr::tr("'%1' は値をとりません");
    }
    return QString();
}

} // namespace SystemText
