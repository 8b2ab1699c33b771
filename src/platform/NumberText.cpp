#include "NumberText.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace NumberText {

double lenient(const QString &text)
{
    std::string s;
    s.reserve(text.size());
    int i = 0;
    const int n = int(text.size());
    auto skipBlanks = [&] {
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n'))
            ++i;
    };
    auto digits = [&] {
        bool any = false;
        for (;;) {
            skipBlanks();
            if (i < n && text[i] >= u'0' && text[i] <= u'9') {
                s += char(text[i].unicode());
                ++i;
                any = true;
            } else {
                return any;
            }
        }
    };
    skipBlanks();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        s += char(text[i].unicode());
        ++i;
    }
    bool any = digits();
    skipBlanks();
    if (i < n && text[i] == u'.') {
        const int save = i;
        const std::string before = s;
        s += '.';
        ++i;
        if (!digits() && !any) {
            i = save;
            s = before;
        } else {
            any = true;
        }
    }
    if (!any)
        return 0.0;
    skipBlanks();
    if (i < n && (text[i] == u'E' || text[i] == u'e')) {
        const std::string before = s;
        int save = i;
        s += 'e';
        ++i;
        skipBlanks();
        if (i < n && (text[i] == u'+' || text[i] == u'-')) {
            s += char(text[i].unicode());
            ++i;
        }
        if (!digits()) {
            s = before;
            i = save;
        }
    }
    const double v = std::strtod(s.c_str(), nullptr);
    return std::isfinite(v) ? v : 0.0;
}

double toSingle(double value)
{
    const float f = float(value);
    return QString::number(double(f), 'g', 7).toDouble();
}

} // namespace NumberText
