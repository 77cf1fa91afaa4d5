#include "core/common/basic.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace cfg {

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Parses a number at the start of `text`; `end` receives how far it got.
double ParseNumber(QStringView text, bool skipInnerBlanks, qsizetype& end) {
    // The characters of the number, as the C library reads them ('+' left out).
    std::string number;
    qsizetype i = 0;
    const auto skip = [&] {
        while (i < text.size() && IsBlank(text[i])) ++i;
    };
    const auto next = [&] {
        ++i;
        if (skipInnerBlanks) skip();
    };
    skip();
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-') number += '-';
        next();
    }
    bool digits = false;
    while (i < text.size() && IsDigit(text[i])) {
        number += static_cast<char>(text[i].unicode());
        digits = true;
        next();
    }
    if (i < text.size() && text[i] == u'.') {
        number += '.';
        next();
        while (i < text.size() && IsDigit(text[i])) {
            number += static_cast<char>(text[i].unicode());
            digits = true;
            next();
        }
    }
    if (!digits) {
        end = 0;
        return 0;
    }
    end = i;
    if (i < text.size() && (text[i].toUpper() == u'E' || text[i].toUpper() == u'D')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            exponent += static_cast<char>(text[j++].unicode());
        const qsizetype start = j;
        while (j < text.size() && IsDigit(text[j]))
            exponent += static_cast<char>(text[j++].unicode());
        if (j > start) {
            number += exponent;
            end = j;
        }
    }
    // Out of range either way reads as 0.
    double value = 0;
    const auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    return error == std::errc() && std::isfinite(value) ? value : 0;
}

}  // namespace

QString TrimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ') ++first;
    while (last > first && text[last - 1] == u' ') --last;
    return text.mid(first, last - first);
}

double LeadingNumber(const QString& text) {
    qsizetype end = 0;
    return ParseNumber(text, true, end);
}

bool IsNumeric(const QString& text) {
    qsizetype last = text.size();
    while (last > 0 && IsBlank(text[last - 1])) --last;
    const QStringView body = QStringView(text).left(last);
    qsizetype end = 0;
    ParseNumber(body, false, end);
    return end > 0 && end == body.size();
}

int ToWholeNumber(double value) {
    if (std::isnan(value)) return 0;
    const double whole = std::nearbyint(value);
    if (whole >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (whole <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(whole);
}

QString FoldedForSearch(const QString& text) {
    // Latin texts nearly always: only those with a character beyond ASCII are decomposed.
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) return text.toLower();
    QString folded;
    folded.reserve(text.size());
    for (QChar c : text.normalized(QString::NormalizationForm_D))
        if (!c.isMark()) folded.append(c);
    return folded.toCaseFolded();
}

bool HoldsEveryWord(const QString& folded, const QStringList& words) {
    return std::all_of(words.begin(), words.end(),
                       [&](const QString& word) { return folded.contains(word); });
}

}  // namespace cfg
