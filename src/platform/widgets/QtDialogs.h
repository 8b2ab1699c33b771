#pragma once

#include "platform/Dialogs.h"

class QWidget;

// The real message boxes and file dialogs behind the Dialogs facade.
class QtDialogs : public Dialogs::Backend
{
public:
    bool message(const QString &title, const QString &text, Dialogs::Buttons buttons) override;
    QString saveFileName(const Dialogs::SaveRequest &request) override;
    QString openFileName(const Dialogs::OpenRequest &request) override;

    // Installs one process-wide instance.
    static void install();
};
