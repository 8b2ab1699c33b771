#pragma once

#include <QString>
#include <QTranslator>

// The system's reasons for a failure in the program's language: the C library and Qt give
// them in the locale's language or in English, which would break a Japanese message apart.
namespace SystemText {

// The reason for an errno value: the program's own text for the common ones, the system's
// text otherwise.
QString reason(int errnum);

// Gives Qt's own English reasons for files and command-line options in Japanese, when
// installed on the application.
class Translator : public QTranslator
{
public:
    using QTranslator::QTranslator;
    QString translate(const char *context, const char *sourceText,
                      const char *disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }
};

} // namespace SystemText
