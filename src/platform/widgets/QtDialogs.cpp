#include "QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

bool QtDialogs::message(const QString &title, const QString &text, Dialogs::Buttons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    if (buttons == Dialogs::Buttons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    return box.exec() == QMessageBox::Ok || buttons == Dialogs::Buttons::Ok;
}

Dialogs::Choice QtDialogs::ask(const QString &title, const QString &text)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(QMessageBox::NoIcon);
    QPushButton *save = box.addButton(tr("保存"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(tr("破棄"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(tr("ｷｬﾝｾﾙ"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return Dialogs::Choice::Save;
    return box.clickedButton() == discard ? Dialogs::Choice::Discard : Dialogs::Choice::Cancel;
}

namespace {

// The description stands as written; the dialog filters by the patterns, which Qt wants
// separated by spaces inside the brackets.
QString nameFilter(const QString &text, const QStringList &patterns)
{
    if (patterns.isEmpty())
        return text;
    const int open = text.lastIndexOf(u'(');
    const QString label = open > 0 ? text.left(open).trimmed() : text;
    return label + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

// The file dialog both requests share; the chosen path, or an empty text on cancel.
QString askFile(const Dialogs::SaveRequest &request, bool save, int *type = nullptr)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDirectory(request.folder);
    QStringList filters {nameFilter(request.filterText, request.patterns)};
    QList<QStringList> patterns {request.patterns};
    for (const Dialogs::SaveRequest::FileType &t : request.moreTypes) {
        filters << nameFilter(t.filterText, t.patterns);
        patterns << t.patterns;
    }
    dialog.setNameFilters(filters);
    qsizetype shown = 0;
    if (!request.moreTypes.isEmpty()) {
        // Another type chosen: the name typed takes its ending in place of the last type's.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &f) {
            const qsizetype chosen = filters.indexOf(f);
            auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (chosen < 0 || !edit || patterns[chosen].isEmpty())
                return;
            const QString name = edit->text();
            for (const QString &p : std::as_const(patterns[shown])) {
                if (name.endsWith(p.mid(1), Qt::CaseInsensitive)) {
                    edit->setText(name.chopped(p.size() - 1) + patterns[chosen].first().mid(1));
                    break;
                }
            }
            shown = chosen;
        });
    }
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    if (type)
        *type = int(qMax(qsizetype(0), filters.indexOf(dialog.selectedNameFilter())));
    return QDir::fromNativeSeparators(dialog.selectedFiles().constFirst());
}

} // namespace

QString QtDialogs::saveFileName(const Dialogs::SaveRequest &request, int *type)
{
    return askFile(request, true, type);
}

QString QtDialogs::openFileName(const Dialogs::OpenRequest &request)
{
    return askFile(request, false);
}

void QtDialogs::install()
{
    static QtDialogs instance;
    Dialogs::setBackend(&instance);
}
