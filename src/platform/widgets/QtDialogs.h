#pragma once

#include "platform/Dialogs.h"

#include <QCoreApplication>

class QWidget;

// The real message boxes and file dialogs behind the Dialogs facade.
class QtDialogs : public Dialogs::Backend
{
    Q_DECLARE_TR_FUNCTIONS(QtDialogs)

public:
    bool message(const QString &title, const QString &text, Dialogs::Buttons buttons) override;
    QString saveFileName(const Dialogs::SaveRequest &request, int *type) override;
    QString openFileName(const Dialogs::OpenRequest &request) override;
    Dialogs::Choice ask(const QString &title, const QString &text) override;

    // Installs one process-wide instance.
    static void install();
};
