#include "QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
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
    for (const Dialogs::SaveRequest::FileType &t : request.moreTypes)
        filters << nameFilter(t.filterText, t.patterns);
    dialog.setNameFilters(filters);
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
