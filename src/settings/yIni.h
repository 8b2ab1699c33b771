#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// The settings object: the settings file "User.xml" (found by literal text search, never
// parsed as XML), the user data folder and the program's few dealings with the shell.
class yIni
{
public:
    yIni();

    // User folders and shortcuts.
    void W_UserData(const QString &dataDir = QString()); // sets Usr::sDataPh and creates it
    void W_Help(const QString &sJob);
    void W_HtmView(const QString &sURL);
    void W_SendTo();
    void W_ExpFd(const QString &sFld, bool bOpn);
    QString FsGtSpFld(int nFlg);
    void F_ChkSb(const QString &sPh, const QStringList &Ary);
    void F_CreateFld(const QString &sFd);

    // Settings file.
    void GetTxt(const QString &sFL, bool &bOk);
    void GetGtx(const QString &sGp);
    QVariant vGtVal(const QString &sKy, const QVariant &vDef);
    void SetVal(const QString &sKy, const QVariant &vVL);
    void SetGtx();
    // Writes the document atomically; bOk is false (and *error says why) when writing failed.
    void SetTxt(bool &bOk, QString *error = nullptr);

    // Read access for callers and tests.
    QString filePath() const { return sFlPh; }
    QString documentText() const { return sTxt; }
    QString groupName() const { return sGpNm; }
    QString groupText() const { return sGtx; }

private:
    QString GtElm(int mode, const QString &name);
    QString MkElm(int mode, const QString &name, const QVariant &content);

    QString sFlPh;
    QString sTxt;
    QString sGpNm;
    QString sGtx;
};
