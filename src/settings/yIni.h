#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// The settings object: the settings file "User.xml" (found by literal text search, never
// parsed as XML), the user data folder and the program's few dealings with the shell.
class yIni
{
public:
    // The online help's pages lie below this address.
    static const QString kHelpBase;

    // User folders and shortcuts. The data folder is dataDir when given, else "usData/"
    // beside the executable, else "usData/" in the per-user data folder.
    bool W_UserData(const QString &dataDir = QString(), QString *error = nullptr);
    void W_Help(const QString &sJob);
    void W_HtmView(const QString &sURL);
    void W_SendTo();
    void W_ExpFd(const QString &sFld, bool bOpn);
    QString FsGtSpFld(int nFlg);
    bool F_ChkSb(const QString &sPh, const QStringList &Ary, QString *error = nullptr);
    bool F_CreateFld(const QString &sFd);

    // Settings file.
    void GetTxt(const QString &sFL, bool &bOk, QString *error = nullptr);
    void GetGtx(const QString &sGp);
    QVariant vGtVal(const QString &sKy, const QVariant &vDef);
    void SetVal(const QString &sKy, const QVariant &vVL);
    void SetGtx();
    // Writes the document atomically; bOk is false (and *error says why) when writing failed.
    void SetTxt(bool &bOk, QString *error = nullptr);

    QString filePath() const { return sFlPh; }
    QString documentText() const { return sTxt; }
    QString groupName() const { return sGpNm; }
    QString groupText() const { return sGtx; }

    // The text form of a stored value.
    static QString valueText(const QVariant &v);

private:
    QString GtElm(int mode, const QString &name);
    QString MkElm(int mode, const QString &name, const QVariant &content);
    bool writeShortcut(const QString &path, const QString &type, const QString &name,
                       const QString &target);

    QString sFlPh;
    QString sTxt;
    QString sGpNm;
    QString sGtx;
};
