#pragma once

#include <QLocale>
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

    // Sets Usr::sDataPh (ending in "/") and makes the folder when missing. An empty dataDir
    // means usData/ beside the program when it exists, else the per-user folder (see
    // chooseDataFolder). To write, the folder must take a new file. On failure Usr::sDataPh
    // names the folder and *error says why, naming it; *error is empty when the user chose not
    // to go on.
    bool W_UserData(const QString &dataDir = QString(), QString *error = nullptr,
                    bool write = true);
    // Shortcuts: false (and *error) when the shortcut could not be written; nothing is opened.
    bool W_Help(const QString &sJob, QString *error = nullptr);
    bool W_HtmView(const QString &sURL, QString *error = nullptr);
    bool W_SendTo(QString *error = nullptr);
    void W_ExpFd(const QString &sFld, bool bOpn);
    QString FsGtSpFld(int nFlg);
    // Creates the missing sub-folders of sPh, one level each; false when one is still missing.
    bool F_ChkSb(const QString &sPh, const QStringList &Ary, QString *error = nullptr);
    // Creates a folder with every missing parent; false when it does not exist afterwards.
    bool F_CreateFld(const QString &sFd, QString *error = nullptr);

    // Settings file.

    // bOk is false (and *error says why) when the file could not be read or created; a file
    // that exists but could not be read is then never overwritten by SetTxt.
    void GetTxt(const QString &sFL, bool &bOk, QString *error = nullptr);
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

    // The online help's base address; page names are appended to it.
    static QString helpBase();
    // The empty document: declaration, root start tag, root end tag.
    static QString emptyDocument();
    // The text a value is stored as, and the locale dates are written and read in (the
    // user's locale unless a test pins another one).
    static QString valueText(const QVariant &v);
    static QLocale dateLocale();
    static void setDateLocale(const QLocale &locale);
    static void resetDateLocale();

    // own (usData/ beside the program) when it exists and can be used, else perUser. When own
    // holds a collection it cannot write, the user is asked first whether to go on with
    // perUser; after a Cancel the result and *error are empty.
    static QString chooseDataFolder(const QString &own, const QString &perUser, bool write,
                                    QString *error = nullptr, QString *failedFolder = nullptr);
    // <the desktop's data folder>/Linkwell/usData/, ending in "/".
    static QString perUserDataFolder();

private:
    QString GtElm(int mode, const QString &name);
    QString MkElm(int mode, const QString &name, const QVariant &content);

    QString sFlPh;
    QString sTxt;
    QString sGpNm;
    QString sGtx;
    bool bUnread = false; // the file exists but could not be read: never overwrite it
    bool bNoRoot = false; // a group had no root element to go into: never overwrite it
    bool m_utf8 = false; // the file came as UTF-8 and goes back so
    QByteArray m_bom;
};
