#include "ShownText.h"

namespace {

bool IsMark(QChar c)
{
    switch (c.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

// The start of `text` that is shown, at most `limit` characters, without the marks beyond
// maxMarksPerCharacter in a row. `shortened` tells whether anything was left out.
QString Kept(const QString& text, int limit, bool* shortened)
{
    const int length = text.size();
    QString kept;
    kept.reserve(qMin(length, limit));
    int marks = 0;
    int i = 0;
    for (; i < length && kept.size() < limit; ++i) {
        const QChar c = text.at(i);
        marks = IsMark(c) ? marks + 1 : 0;
        if (marks > ShownText::maxMarksPerCharacter)
            continue;
        if (c.isHighSurrogate() && i + 1 < length && text.at(i + 1).isLowSurrogate()) {
            if (kept.size() + 2 > limit)
                break;
            kept += c;
            kept += text.at(++i);
            continue;
        }
        kept += c;
    }
    *shortened = i < length || kept.size() < length;
    return kept;
}

} // namespace

namespace ShownText {

QString Of(const QString& text, int omitted, int limit)
{
    bool shortened = false;
    QString shown = Kept(text, limit, &shortened);
    if (!shortened && omitted <= 0)
        return shown;
    const qint64 whole = qint64(text.size()) + qMax(0, omitted);
    return shown + QStringLiteral("\n\u2026 (message shortened, %1 characters)").arg(whole);
}

} // namespace ShownText
