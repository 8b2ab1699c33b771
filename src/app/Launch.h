#pragma once

#include <QString>

#include <memory>

class QLockFile;

// What the window and the command line do before their own work, in this order: the names,
// the language, the data folder, the lock, the database. Both say the same things on failure
// and end with the same statuses.
class Launch
{
public:
    enum Status { Ok = 0, Failed = 1, Usage = 2, InUse = 3 };
    // Reading leaves the folder as it is (a read-only one included) and takes no lock.
    enum class Access { Read, Write };

    // Sets the program's names from the executable and speaks the locale's language; qtTexts
    // also installs Qt's own Japanese texts (the window's buttons).
    explicit Launch(bool qtTexts = false);
    ~Launch();

    // The data folder (dataDir, or the default one), the language its settings file chooses
    // (unless the caller reads the settings itself) and, to write, its sub-folders and the
    // lock. Usr::sDataPh names it afterwards.
    Status openFolder(const QString &dataDir, Access access, bool settingsLanguage = true);
    // The link database of the data folder.
    Status openDatabase();
    // The language a setting chooses over the locale's.
    void chooseLanguage(const QString &setting);

    // Whether the open database holds no link yet.
    static bool collectionIsEmpty();
    // The page shown on a first start instead of the search page: how to fill the collection,
    // in the program's language.
    static QString startPage();

    // What went wrong, to be said by the front end; empty when the user chose not to go on.
    QString error() const { return m_error; }

private:
    bool m_qtTexts;
    std::unique_ptr<QLockFile> m_lock;
    QString m_error;
};
